#!/usr/bin/env bash
# The help viewer's key steps, each with its repaint, in the main window
# under Xvfb, in line view and in page view (switched on by the Page
# button's command): Down from the middle line, Page Down, a wheel step, and
# Ctrl+End / Ctrl+Home, on the program's own guide (samples/help) and on
# help documents of about 10 KB, 100 KB and 1 MB. Target: a mean under 16 ms
# for Down, Page Down and a wheel step, under 50 ms for Ctrl+End / Ctrl+Home.
# The table sets the two views' figures side by side for each document and
# step: the mean and the slowest step in milliseconds, and the steps over
# 50 ms of all counted.
#
#   bash bench/quenby_keys_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_keys_bench

bench_work
sizes=(10240 102400 1048576)
python3 "$here/bench/make_help_document.py" "$work" "${sizes[@]}"
documents=("$here/samples/help/Quenby_Guide.md")
labels=(guide)
for size in "${sizes[@]}"; do documents+=("$work/help-$size.md"); done
labels+=(10KB 100KB 1MB)
results=""; status=0
for i in "${!documents[@]}"; do
  for view in line page; do
    switch=()
    [ "$view" = page ] && switch=(page)
    report=$(run_window "$exe" "$(wpath "${documents[$i]}")" "${switch[@]}")
    if ! printf '%s\n' "$report" | grep -q '^end-home '; then
      echo "the benchmark did not run on ${labels[$i]} in $view view" >&2
      printf '%s\n' "$report" >&2
      status=1
      continue
    fi
    results+=$(printf '%s\n' "$report" | sed "s/^/${labels[$i]} $view /")$'\n'
  done
done
printf '%s' "$results" | awk '
  $3 == "lines" { lines[$1] = $4; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 }; next }
  NF == 8 {
    key = $1 SUBSEP $3 SUBSEP $2
    mean[key] = $4 * 1000; slow[key] = $5 * 1000; over50[key] = $7; count[key] = $8
    if (!(($3) in known)) { known[$3] = 1; steps[++m] = $3 }
  }
  END {
    printf "%-20s %-9s %26s %26s   %s\n", "document", "step", "line view", "page view", "target"
    for (i = 1; i <= n; i++) {
      d = order[i]
      for (j = 1; j <= m; j++) {
        s = steps[j]; t = s == "end-home" ? 50 : 16
        printf "%-20s %-9s", d " (" lines[d] " lines)", s
        verdict = ""
        for (v = 1; v <= 2; v++) {
          view = v == 1 ? "line" : "page"; k = d SUBSEP s SUBSEP view
          if (!(k in mean)) { printf " %26s", "-"; continue }
          printf " %7.2f ms max %7.2f %3d/%-4d", mean[k], slow[k], over50[k], count[k]
          if (mean[k] > t) verdict = verdict " MISSED in " view " view"
        }
        printf "   %d ms%s\n", t, verdict
      }
    }
  }'
exit $status
