#!/usr/bin/env bash
# Opening a Markdown help document (read, block kinds, inline marks and
# links) beside cmark rendering the same file to HTML: a 1 MB help-style
# document, a 1 MB single line of inline constructs, and one paragraph
# followed by 500,000 empty lines. Prints both times and the ratio: the load
# of a fresh process (best of three processes) against cmark's best of
# three runs.
#
#   bash bench/markdown_load_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe markdown_load_bench
command -v cmark >/dev/null || { echo "cmark is missing (scripts/setup.sh installs it)"; exit 1; }

bench_work

python3 "$here/bench/make_help_document.py" "$work"

cmark_time() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    cmark "$1" >/dev/null
    t1=$(date +%s%N)
    local t=$(( t1 - t0 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

status=0
for case in "help.md:1 MB help document" "line.md:1 MB single line of inline constructs" \
            "empty.md:one paragraph and 500,000 empty lines"; do
  IFS=: read -r file label <<< "$case"
  ours=""; report=""
  for _ in 1 2 3; do
    out=$(run_program "$exe" "$(wpath "$work/$file")")
    s=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
    [ -n "$s" ] || { report=$out; ours=""; break; }
    report=$out
    if [ -z "$ours" ] || awk -v a="$s" -v b="$ours" 'BEGIN { exit !(a < b) }'; then ours=$s; fi
  done
  echo "== $label"
  if [ -z "$ours" ]; then echo "the load did not run"; printf '%s\n' "$report"; status=1; continue; fi
  printf '%s\n' "$report" | grep -v '^seconds '
  theirs=$(cmark_time "$work/$file")
  awk -v o="$ours" -v c="$theirs" 'BEGIN {
    r = c > 0 ? o / c : 0
    printf "quenby %.4f s, cmark %.4f s, ratio %.2f (target: within 2x of cmark)\n", o, c, r
  }'
done
exit $status
