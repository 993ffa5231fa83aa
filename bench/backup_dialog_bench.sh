#!/usr/bin/env bash
# The backup dialog under Xvfb: opening it over 10,000 loaded backups (fill,
# measure, first paint; best of three), and one repaint of an item dialog
# whose folder item holds 20,000 files, beside the state check of that item
# that every paint used to run.
#
#   bash bench/backup_dialog_bench.sh
#
# Targets: opening under 500 ms; a repaint under 16 ms.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe app_backup_dialog_bench

bench_work
python3 - "$work" <<'PY'
import os, sys
root = sys.argv[1]
for tree in ("src", "copy"):
    for a in range(20):
        folder = os.path.join(root, tree, "dir%02d" % a)
        os.makedirs(folder, exist_ok=True)
        for b in range(1000):
            path = os.path.join(folder, "file%04d.txt" % b)
            with open(path, "wb") as f:
                f.write(b"x" * 16)
            os.utime(path, (1600000000, 1600000000))
PY

report=$(run_window "$exe" "$(wpath "$work")" 10000)
open=$(printf '%s\n' "$report" | awk '/^open / { print $2 }')
shown=$(printf '%s\n' "$report" | awk '/^open / { print $3 }')
repaint=$(printf '%s\n' "$report" | awk '/^repaint / { print $2 }')
check=$(printf '%s\n' "$report" | awk '/^repaint / { print $4 }')
if [ -z "$open" ] || [ -z "$repaint" ]; then echo "the benchmark did not run"; printf '%s\n' "$report"; exit 1; fi
awk -v o="$open" -v n="$shown" 'BEGIN {
  printf "open over %d backups %.1f ms, target 500 ms, ratio %.2f\n", n, o * 1000, o / 0.5
}'
awk -v r="$repaint" -v c="$check" 'BEGIN {
  printf "item dialog repaint %.2f ms, state check each paint ran before %.1f ms, ratio %.2f (target: under 16 ms)\n",
         r * 1000, c * 1000, (c > 0 ? r / c : 0)
}'
