# Shared by the benchmarks (sourced, not run; `here` is the source tree).

# The build folder: $TAVREL_BUILD, or the one of the test architecture.
build="${TAVREL_BUILD:-$here/build-$(bash "$here/scripts/test-arch.sh")}"

# Sets `exe` to a benchmark's executable, building it when it is missing.
bench_exe() {
  exe="$build/bench/$1.exe"
  if [ ! -f "$exe" ]; then
    [ -f "$build/CMakeCache.txt" ] || bash "$here/scripts/build.sh" "$(bash "$here/scripts/test-arch.sh")" "$build" >/dev/null
    cmake --build "$build" --target "$1" -j "$(nproc)" >/dev/null
  fi
}

# Sets `work` to a fresh folder for the inputs, removed when the script exits.
bench_work() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}

# The path as Wine's Z: drive shows it.
wpath() { printf 'Z:%s' "${1//\//\\}"; }

# A Windows path for a file, by winepath when it is there.
winpath() { winepath -w "$1" 2>/dev/null || echo "Z:${1//\//\\}"; }

# Best wall time of three runs of a peer command, in seconds. Its exit status
# is ignored: diff, cmp and grep exit 1 for a result, not a failure.
best_time() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null || true
    t1=$(date +%s%N)
    local t=$(( t1 - t0 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}
