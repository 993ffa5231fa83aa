#!/usr/bin/env bash
# The path chooser under Xvfb on a folder of 20,000 files: one character
# typed in the path bar (the relisting of the folder and the paint of the
# box with its icons) beside the bare floor, a FindFirstFileExW loop over the
# same folder; and one screen's paint of the box with icons. Prints both
# times and the ratio. Targets: typing within 1.5x the floor; a paint under
# 16 ms.
#
#   bash bench/path_box_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe path_box_bench
bench_work

mkdir -p "$work/many"
(cd "$work/many" && seq -f "file%05g.txt" 0 19999 | xargs touch)

out=$(run_window "$exe" "$(wpath "$work/many")")
if ! printf '%s\n' "$out" | grep -q '^paint '; then
  echo "the path box benchmark did not run"
  printf '%s\n' "$out"
  exit 1
fi
printf '%s\n' "$out" | awk '
  $1 == "typing" { printf "one character typed (relisting and paint of 20,000 files): path box %.2f ms, floor (FindFirstFileExW loop) %.2f ms, ratio %.2f (target: within 1.5x the floor)\n", $2, $3, ($3 > 0 ? $2 / $3 : 0) }
  $1 == "paint" { printf "one screen of the box with icons: %.2f ms (target: under 16 ms)\n", $2 }'
