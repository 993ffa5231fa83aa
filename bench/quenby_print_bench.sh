#!/usr/bin/env bash
# Printing in the help viewer on the 1 MB help document of the Markdown load
# benchmark: the page cutter over the laid-out document, page records
# included (target: under 16 ms), and the first ten pages printed by the
# viewer's print loop into the "Quenby_PDF" printer with the output going to
# a file, beside a bare ExtTextOutW loop over the same lines and pages, with
# the ratio (target: at most 1.3; the driver's own time per page dominates).
#
#   bash bench/quenby_print_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_print_bench
bash "$here/scripts/print-queue.sh" >/dev/null

bench_work
python3 "$here/bench/make_help_document.py" "$work"
# A display of its own: the style measures its fonts in a window.
out=$(run_window "$exe" "$(wpath "$work/help.md")" "$(wpath "$work")")
printf '%s\n' "$out" | grep -v '^print \|^bare '
ours=$(printf '%s\n' "$out" | awk '/^print / { print $2 }')
theirs=$(printf '%s\n' "$out" | awk '/^bare / { print $2 }')
if [ -z "$ours" ] || [ -z "$theirs" ]; then echo "the print benchmark did not run"; exit 1; fi
awk -v o="$ours" -v c="$theirs" 'BEGIN {
  r = c > 0 ? o / c : 0
  printf "print loop, 10 pages: quenby %.4f s, bare ExtTextOutW %.4f s, ratio %.2f (target: at most 1.3)\n", o, c, r
}'
