#!/usr/bin/env bash
# Typing hex digits into a 1 MiB binary side through the edit commands, each
# digit with its re-compare of the rows: 200 digits in insert mode at the
# start (the longest re-flow: every row after the digit moves) and 200 in
# overwrite mode at the end. Beside it the floor of moving (inserting at the
# start of) or writing the buffer's bytes alone. Targets: under 50 ms a
# digit at the start, under 2 ms at the end.
#
#   bash bench/binary_edit_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe binary_edit_bench

bench_work
python3 - "$work" <<'PY'
import random, sys
rng = random.Random(5)
open(sys.argv[1] + "/side.bin", "wb").write(bytes(rng.getrandbits(8) for _ in range(1 << 20)))
PY

out=$(run_program "$exe" "$(winpath "$work/side.bin")") || true
if ! printf '%s\n' "$out" | grep -q '^start '; then echo "the bench did not run"; printf '%s\n' "$out"; exit 1; fi
echo "== 1 MiB side ($(printf '%s\n' "$out" | awk '/^rows / { print $2 }') rows), 200 hex digits"
printf '%s\n' "$out" | awk '
  /^(start|end) / {
    name = $1 == "start" ? "insert mode at the start" : "overwrite mode at the end"
    target = $1 == "start" ? 50 : 2
    ratio = $4 > 0 ? sprintf("%.0f", $2 / $4) : "n/a (floor below the clock)"
    printf "%-26s tavrel %8.3f ms a digit (slowest %8.3f ms), floor (bytes alone) %9.4f us, ratio %s (target under %g ms)\n", name, $2 * 1000, $3 * 1000, $4 * 1000000, ratio, target
  }'
printf '%s\n' "$out" | awk '
  /^(clearrows|undoclear|copyrows|undocopy) / {
    names["clearrows"] = "clear every row"; names["undoclear"] = "its undo"
    names["copyrows"] = "copy every row in"; names["undocopy"] = "its undo"
    printf "%-26s tavrel %8.2f ms (target under 100 ms)\n", names[$1], $2 * 1000
  }'
