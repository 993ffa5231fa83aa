#!/usr/bin/env bash
# Folder compare beside `diff -rq` on the same two trees: 10,000 files in
# 10 x 10 folders of 100 files (1 KiB to 8 KiB each); on the second tree 1 %
# of the files are changed in one byte with size and time kept (only the
# content test finds them) and 1 % are only on one side (half on each).
# Content comparison is on; every level is compared (the child jobs are
# opened). Prints both times (best of three) and the ratio.
#
#   bash bench/folder_compare_bench.sh
#
# The time of the folder kind is measured inside the program (Wine's own
# start-up is not counted); diff's is its wall time.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe folder_compare_bench

bench_work

make_folder_trees "$work"

best=""
for _ in 1 2 3; do
  t0=$(date +%s%N)
  diff -rq "$work/left" "$work/right" >/dev/null || true
  t1=$(date +%s%N)
  t=$(( t1 - t0 ))
  if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
done
theirs=$(awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }')

report=$(run_program "$exe" "$(wpath "$work/left")" "$(wpath "$work/right")" 3)
ours=$(printf '%s\n' "$report" | awk '/^seconds / { print $2 }')
if [ -z "$ours" ]; then echo "the folder compare did not run"; printf '%s\n' "$report"; exit 1; fi
printf '%s\n' "$report" | grep -v '^seconds '
echo "diff -rq: $(diff -rq "$work/left" "$work/right" | wc -l) differences"
awk -v o="$ours" -v d="$theirs" 'BEGIN {
  r = d > 0 ? o / d : 0
  printf "tavrel %.4f s, diff -rq %.4f s, ratio %.2f (target: within 2x of diff -rq)\n", o, d, r
}'
