#!/usr/bin/env bash
# The views around the folder box, in the main window under Xvfb (best of
# five each; the status box best of three):
#   a paint of the position bar, 1,000,000 rows   target under 16 ms
#   the same, 4,000,000 rows                       (printed against 16 ms)
#   a paint of both detail boxes, a 100,000-character line with 10,000
#   changed segments                               target under 16 ms
#   the same line in Arabic words (shaped, right to left) target under 16 ms
#   laying that Arabic line out in both boxes      (printed against 16 ms)
#   100,000 queued status lines moved and painted  target under 1 s
#
#   bash bench/main_views_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe app_main_views_bench

report=$(run_window "$exe" 5)
if ! printf '%s\n' "$report" | grep -q '^status '; then echo "the benchmark did not run"; printf '%s\n' "$report"; exit 1; fi
printf '%s\n' "$report" | awk '
  $1 == "posbar1m" || $1 == "posbar4m" || $1 == "detail" || $1 == "detailar" || $1 == "layoutar" { t = 0.016 } $1 == "status" { t = 1.0 }
  { printf "%-9s %9.2f ms   target %7.1f ms   ratio %.2f\n", $1, $2 * 1000, t * 1000, $2 / t }'
