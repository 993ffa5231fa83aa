#!/usr/bin/env bash
# The folder box on a text pair of 100,000 lines with 1 % of the lines
# changed, in the main window under Xvfb (best of five each):
#   the rebuild of the rows plus the first paint   target under 200 ms
#   a repaint of one screen                        target under 16 ms
#   a page scroll at the end of the list           target under 16 ms
#   a switch between two such tabs                 target under 50 ms
#   a window resize                                target under 50 ms
#
#   bash bench/folder_box_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe app_folder_box_bench

bench_work
python3 - "$work" <<'PY'
import random, sys
rng = random.Random(11)
root = sys.argv[1]
with open(root + "/left.txt", "w") as a, open(root + "/right.txt", "w") as b:
    for i in range(100000):
        line = "line %06d %s\n" % (i, "x" * rng.randint(10, 60))
        a.write(line)
        b.write(line if rng.random() >= 0.01 else line.replace("line", "LINE", 1))
PY

report=$(run_window "$exe" \
         "$(wpath "$work/left.txt")" "$(wpath "$work/right.txt")" 5)
if ! printf '%s\n' "$report" | grep -q '^resize '; then echo "the benchmark did not run"; printf '%s\n' "$report"; exit 1; fi
printf '%s\n' "$report" | awk '
  /^rows / { printf "rows %d\n", $2 }
  $1 == "rebuild" { t = 0.200 } $1 == "repaint" { t = 0.016 } $1 == "scroll" { t = 0.016 }
  $1 == "switch" { t = 0.050 } $1 == "resize" { t = 0.050 }
  $1 != "rows" { printf "%-8s %8.2f ms   target %6.1f ms   ratio %.2f\n", $1, $2 * 1000, t * 1000, $2 / t }'
