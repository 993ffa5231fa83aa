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

# Two trees under the folder: "left" and "right", 10,000 files in 10 x 10
# folders of 100 files (1 KiB to 8 KiB each); on the right 1 % of the files
# are changed in one byte with size and time kept, and 1 % are only on one
# side (half on each).
make_folder_trees() {
  local work="$1"
  python3 - "$work" <<'EOF'
import os, random, sys
root = sys.argv[1]
rng = random.Random(7)
left, right = os.path.join(root, "left"), os.path.join(root, "right")
files = []
for a in range(10):
    for b in range(10):
        for side in (left, right):
            os.makedirs(os.path.join(side, "dir%02d" % a, "sub%02d" % b), exist_ok=True)
        for c in range(100):
            files.append(os.path.join("dir%02d" % a, "sub%02d" % b, "file%03d.dat" % c))
stamp = 1600000000
for i, rel in enumerate(files):
    data = rng.randbytes(rng.randrange(1024, 8193))
    for side in (left, right):
        path = os.path.join(side, rel)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (stamp + i, stamp + i))
picked = rng.sample(range(len(files)), 200)
for n, i in enumerate(picked):
    path = os.path.join(right, files[i])
    if n < 100:
        # One byte changed; size and time kept.
        st = os.stat(path)
        with open(path, "r+b") as f:
            f.seek(st.st_size // 2)
            byte = f.read(1)
            f.seek(st.st_size // 2)
            f.write(bytes([byte[0] ^ 0xFF]))
        os.utime(path, ns=(st.st_atime_ns, st.st_mtime_ns))
    else:
        # Only on one side: half removed on the left, half on the right.
        os.remove(os.path.join(left if n % 2 else right, files[i]))
EOF
}

# Runs a benchmark executable with its arguments under Wine (after any
# command words given before "--", e.g. an Xvfb wrapper) and prints its report
# without carriage returns. It never fails the calling script: when the
# display or the program does not start, the program ends with an error, or
# it prints nothing at all (Wine without its 32-bit half runs a 32-bit
# program as nothing and ends with status 0), it says so on stderr with the
# program's own error output, so a missing report comes with its reason.
run_wrapped() {  # [WRAPPER...] -- EXE [ARGS...]
  local wrapper=()
  while [ "$1" != "--" ]; do wrapper+=("$1"); shift; done
  shift
  local errors out status=0
  errors=$(mktemp)
  out=$(mktemp)
  "${wrapper[@]}" bash "$here/scripts/wine-run.sh" "$@" >"$out" 2>"$errors" </dev/null || status=$?
  tr -d '\r' <"$out"
  if [ "$status" -ne 0 ] || [ ! -s "$out" ]; then
    if [ "$status" -ne 0 ]; then
      echo "$(basename "$1") ended with exit status $status; its error output:" >&2
    else
      echo "$(basename "$1") printed nothing; its error output:" >&2
    fi
    tail -n 20 "$errors" | tr -d '\r' | sed 's/^/  /' >&2
    [ -s "$errors" ] || echo "  (none)" >&2
  fi
  rm -f "$errors" "$out"
}

# A benchmark that needs no display.
run_program() { run_wrapped -- "$@"; }

# Stops the prefix's persistent wineserver (scripts/wine-run.sh starts it
# again). Its desktop stays bound to the display it was started under: once
# that display is gone, a program started under another one gets no window
# at all ("no window") or waits for ever. Taken under the prefix's lock, so
# that no program is being set up or started in the prefix meanwhile.
stop_wine_server() {
  local prefix="${WINEPREFIX:-$build/wineprefix}"
  [ -d "$prefix" ] || return 0
  (
    flock 9
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 9>&- || true
    WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 9>&- || true
  ) 9>"$prefix/.lock"
}

# A window benchmark: under its own Xvfb display, with a wineserver started
# under that display.
run_window() {
  stop_wine_server
  run_wrapped xvfb-run -a -s "-screen 0 1280x1024x24" -- "$@"
}

# Best of three fresh window runs of EXE ARGS... (each under a display of
# its own: a document's style measures its fonts in a window) by the figure
# of their "seconds" line: sets `best` (empty when a run gave no figure)
# and `report` (that run's output).
best_window_of_three() {  # EXE ARGS...
  best=""; report=""
  local out s
  for _ in 1 2 3; do
    out=$(run_window "$@")
    s=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
    [ -n "$s" ] || { report=$out; best=""; return; }
    if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$s; report=$out; fi
  done
}

# The table of a key-step benchmark from its report lines on stdin, each
# prefixed by its size label: "LABEL COUNT N" (COUNT is the word given, the
# rows or lines at that size) and "LABEL STEP MEAN SLOWEST OVER16 OVER50
# STEPS" in seconds. Per step: the mean and slowest at each size, how the
# mean grew from the smallest size, and the target (16 ms mean, none over
# 50 ms; "select-all" and the edit steps 50 ms) with the sizes that missed it.
step_table() {  # count word
  awk -v word="$1" '
    $2 == word { rows[$1] = $3; order[++n] = $1; next }
    NF == 7 {
      key = $1 SUBSEP $2
      mean[key] = $3; slow[key] = $4; over16[key] = $5; over50[key] = $6; count[key] = $7
      if (!(($2) in seen)) { seen[$2] = 1; steps[++m] = $2 }
    }
    END {
      printf "%-11s", word
      for (i = 1; i <= n; i++) printf " %22s", rows[order[i]] " (" order[i] ")"
      printf "\n"
      for (j = 1; j <= m; j++) {
        s = steps[j]; t = s ~ /^(select-all|type|enter|backspace|undo)$/ ? 50 : 16
        printf "%-11s", s
        for (i = 1; i <= n; i++) {
          k = order[i] SUBSEP s
          printf " %8.3f ms max %7.2f", mean[k] * 1000, slow[k] * 1000
        }
        base = mean[order[1] SUBSEP s]
        printf "   growth"
        for (i = 2; i <= n; i++) printf " %.1fx", (base > 0 ? mean[order[i] SUBSEP s] / base : 0)
        printf "   target %d ms", t
        for (i = 1; i <= n; i++) {
          k = order[i] SUBSEP s
          if (over50[k] > 0 || mean[k] * 1000 > t) printf "  MISSED at %s (%d of %d over 50 ms)", order[i], over50[k], count[k]
        }
        printf "\n"
      }
    }'
}
