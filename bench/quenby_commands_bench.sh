#!/usr/bin/env bash
# The viewer's commands on two 1 MB documents under Xvfb, each beside the full
# layout and first paint of the same document (view and tree) in the same
# run: a tab switch
# (target at most 1.3x), one Ctrl + wheel font step in line mode and in page
# view (at most 1.3x), the table of contents' layout beside the view's (at
# most 0.3x), and hover to a visible tip (under 50 ms). Prints both times and
# the ratio.
#
#   bash bench/quenby_commands_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_commands_bench

out=$(run_window "$exe")
if ! printf '%s\n' "$out" | grep -q '^hover to tip '; then
  echo "the commands benchmark did not run"
  printf '%s\n' "$out"
  exit 1
fi
printf '%s\n' "$out" | awk '{
  ours = $(NF - 1); ref = $NF; $NF = ""; $(NF - 1) = ""; name = $0; sub(/ +$/, "", name)
  if (name == "hover to tip") {
    printf "%s: %.2f ms (target: under 50 ms; full layout and paint %.2f ms)\n", name, ours, ref
  } else if (name == "tree layout") {
    printf "%s: tree %.2f ms, view layout %.2f ms, ratio %.2f (target: at most 0.3x)\n", name, ours, ref, (ref > 0 ? ours / ref : 0)
  } else {
    printf "%s: %.2f ms, full layout and paint %.2f ms, ratio %.2f (target: at most 1.3x)\n", name, ours, ref, (ref > 0 ? ours / ref : 0)
  }
}'
