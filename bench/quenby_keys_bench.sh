#!/usr/bin/env bash
# The help viewer's key steps, each with its repaint, in the main window
# under Xvfb, on help documents of about 10 KB, 100 KB and 1 MB: Down from
# the middle line, Page Down, a wheel step, and Ctrl+End / Ctrl+Home.
# Target: each step under 16 ms mean with none over 50 ms. The table prints,
# for each step, the mean at each size and how it grew from the smallest
# (a step that only touches what is on screen stays near 1x).
#
#   bash bench/quenby_keys_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_keys_bench

bench_work
sizes=(10240 102400 1048576); labels=(10KB 100KB 1MB)
python3 "$here/bench/make_help_document.py" "$work" "${sizes[@]}"
results=""; status=0
for i in 0 1 2; do
  report=$(run_window "$exe" "$(wpath "$work/help-${sizes[$i]}.md")")
  if ! printf '%s\n' "$report" | grep -q '^end-home '; then
    echo "the benchmark did not run at ${labels[$i]}" >&2
    printf '%s\n' "$report" >&2
    status=1
    continue
  fi
  results+=$(printf '%s\n' "$report" | sed "s/^/${labels[$i]} /")$'\n'
done
printf '%s' "$results" | step_table lines
exit $status
