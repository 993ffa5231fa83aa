#!/usr/bin/env bash
# Start-up of Tavrel on the two 10,000-file trees of
# bench/folder_compare_bench.sh: the time from building the main window to
# the first paint of the compared pair, beside the in-process compare of the
# same trees (best of three each). The window is built under Xvfb.
#
#   bash bench/startup_bench.sh
#
# Target: start-up within 1.3x of the compare alone (a side loaded twice
# would double it).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe startup_bench

bench_work
make_folder_trees "$work"

report=$(run_window "$exe" \
         "$(wpath "$work/left")" "$(wpath "$work/right")" 3)
startup=$(printf '%s\n' "$report" | awk '/^startup / { print $2 }')
compare=$(printf '%s\n' "$report" | awk '/^compare / { print $2 }')
if [ -z "$startup" ] || [ -z "$compare" ]; then echo "the start-up did not run"; printf '%s\n' "$report"; exit 1; fi
printf '%s\n' "$report" | grep '^root rows'
awk -v s="$startup" -v c="$compare" 'BEGIN {
  r = c > 0 ? s / c : 0
  printf "start-up to first paint %.4f s, in-process compare %.4f s, ratio %.2f (target: within 1.3x)\n", s, c, r
}'
