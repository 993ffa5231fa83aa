# Shared by the benchmarks that run beside GNU diff (sourced, not run).

# The path as Wine's Z: drive shows it.
wpath() { printf 'Z:%s' "${1//\//\\}"; }

# Best wall time of three runs of GNU diff on two files, in seconds.
diff_time() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    diff "$1" "$2" >/dev/null || true
    t1=$(date +%s%N)
    local t=$(( t1 - t0 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}
