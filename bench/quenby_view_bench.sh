#!/usr/bin/env bash
# The page view of the help viewer on the 1 MB help document of the
# Markdown load benchmark: the layout of the whole document in a 1200 x 900
# view (best of three fresh processes) beside cmark rendering the same file
# to HTML, with the ratio (target: within 2x); frame times after the layout
# (first screen, the end of the document, one wheel step, each under 16 ms),
# a search from the top to the last line (under 50 ms), a relayout after a
# one-pixel width change, and memory per input byte. A copy of the document
# with two 2000 x 1500 PNG pictures every 200 lines gives the frame times of
# scrolling a screen that shows pictures. A 1 MB Japanese help document
# (kana and level-1 kanji) is laid out and painted the same way; its figures
# close the report beside the English ones (targets: first screen under
# 16 ms, layout within 2.5x of the English document's in the same run).
#
#   bash bench/quenby_view_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_view_bench
command -v cmark >/dev/null || { echo "cmark is missing (scripts/setup.sh installs it)"; exit 1; }

bench_work
python3 "$here/bench/make_help_document.py" "$work"
python3 "$here/bench/make_help_document.py" "$work" ja
python3 - "$work" "$here/bench" <<'PY'
import sys
out = sys.argv[1]
sys.path.insert(0, sys.argv[2])
from rgb_png import write_rgb_png
# A 2000 x 1500 RGB picture: horizontal bands of colour.
width, height = 2000, 1500
rows = bytearray()
for y in range(height):
    shade = (y * 255) // height
    rows += b"\x00" + bytes((shade, 160, 255 - shade)) * width
write_rgb_png(out + "/big.png", width, height, rows)
lines = open(out + "/help.md", newline="").read().split("\n")
with_pictures = []
for i, line in enumerate(lines):
    with_pictures.append(line)
    if i % 200 == 199:
        with_pictures += ["", "![picture](big.png)", "", "![picture](big.png)", ""]
with open(out + "/pictures.md", "w", newline="") as f:
    f.write("\n".join(with_pictures))
PY

best_window_of_three "$exe" "$(wpath "$work/help.md")" "$(wpath "$work/pictures.md")"
ours=$best; english=$report
if [ -z "$ours" ]; then echo "the view benchmark did not run"; printf '%s\n' "$english"; exit 1; fi
printf '%s\n' "$english" | grep -v '^seconds '
theirs=$(best_time cmark "$work/help.md")
awk -v o="$ours" -v c="$theirs" 'BEGIN {
  r = c > 0 ? o / c : 0
  printf "layout: quenby %.4f s, cmark %.4f s, ratio %.2f (target: within 2x of cmark)\n", o, c, r
}'

best_window_of_three "$exe" "$(wpath "$work/japanese.md")"
if [ -z "$best" ]; then echo "the view benchmark did not run on the Japanese document"; printf '%s\n' "$report"; exit 1; fi
japanese=$report
printf '%s\n' "$japanese" | grep -v '^seconds ' | sed 's/^/japanese: /'
# The figures of both documents side by side.
{ printf '%s\n' "$english" | sed 's/^/E /'; printf '%s\n' "$japanese" | sed 's/^/J /'; } | awk '
  / layout of the whole document / && !/pictures/ { layout[$1] = $(NF - 1) }
  / first screen / { first[$1] = $(NF - 1) }
  / one wheel step mean / { wheel[$1] = $6 }
  END {
    r = layout["E"] > 0 ? layout["J"] / layout["E"] : 0
    printf "japanese beside english: layout %.4f s / %.4f s (ratio %.2f, target within 2.5x)%s\n",
      layout["J"], layout["E"], r, r <= 2.5 ? "" : "  MISSED"
    printf "japanese beside english: first screen %.2f ms / %.2f ms (target under 16 ms)%s\n",
      first["J"], first["E"], first["J"] < 16 ? "" : "  MISSED"
    printf "japanese beside english: one wheel step mean %.2f ms / %.2f ms (target under 16 ms)%s\n",
      wheel["J"], wheel["E"], wheel["J"] < 16 ? "" : "  MISSED"
  }'
