#!/usr/bin/env bash
# The folder box's key actions on a text pair of 100,000 lines whose last 10
# lines differ, in the main window under Xvfb:
#   "MoveCursorDown" x 1,000 from row 99,000, each step with its repaint
#                                                   target under 16 ms
#   "GotoNextDiffrentLine" across 99,990 same rows  target under 16 ms
#   "SelectAll" with its repaint                    target under 50 ms
#
#   bash bench/folder_box_keys_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe app_folder_box_keys_bench

bench_work
python3 - "$work" <<'PY'
import sys
root = sys.argv[1]
with open(root + "/left.txt", "w") as a, open(root + "/right.txt", "w") as b:
    for i in range(100000):
        line = "line %06d of the pair\n" % i
        a.write(line)
        b.write(line if i < 99990 else line.upper())
PY

report=$(xvfb-run -a -s "-screen 0 1280x1024x24" bash "$here/scripts/wine-run.sh" "$exe" \
         "$(wpath "$work/left.txt")" "$(wpath "$work/right.txt")" 3 2>/dev/null | tr -d '\r')
if ! printf '%s\n' "$report" | grep -q '^select-all '; then echo "the benchmark did not run"; printf '%s\n' "$report"; exit 1; fi
printf '%s\n' "$report" | awk '
  $1 == "rows" || $1 == "cursor" { printf "%s %d\n", $1, $2; next }
  $1 == "down-missed" { printf "steps over 16 ms: %d of %d\n", $2, $4; next }
  $1 == "select-all" { t = 0.050 } $1 != "select-all" { t = 0.016 }
  { printf "%-13s %8.3f ms   target %6.1f ms   ratio %.2f\n", $1, $2 * 1000, t * 1000, $2 / t }'
