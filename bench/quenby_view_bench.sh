#!/usr/bin/env bash
# The page view of the help viewer on the 1 MB help document of the
# Markdown load benchmark: the layout of the whole document in a 1200 x 900
# view (best of three fresh processes) beside cmark rendering the same file
# to HTML, with the ratio (target: within 2x); frame times after the layout
# (first screen, the end of the document, one wheel step, each under 16 ms),
# a search from the top to the last line (under 50 ms), a relayout after a
# one-pixel width change, and memory per input byte. A copy of the document
# with two 2000 x 1500 PNG pictures every 200 lines gives the frame times of
# scrolling a screen that shows pictures.
#
#   bash bench/quenby_view_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_view_bench
command -v cmark >/dev/null || { echo "cmark is missing (scripts/setup.sh installs it)"; exit 1; }

bench_work
python3 "$here/bench/make_help_document.py" "$work"
python3 - "$work" <<'PY'
import struct, sys, zlib
out = sys.argv[1]
# A 2000 x 1500 RGB picture: horizontal bands of colour.
width, height = 2000, 1500
rows = bytearray()
for y in range(height):
    shade = (y * 255) // height
    rows += b"\x00" + bytes((shade, 160, 255 - shade)) * width
def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b"")
with open(out + "/big.png", "wb") as f:
    f.write(png)
lines = open(out + "/help.md", newline="").read().split("\n")
with_pictures = []
for i, line in enumerate(lines):
    with_pictures.append(line)
    if i % 200 == 199:
        with_pictures += ["", "![picture](big.png)", "", "![picture](big.png)", ""]
with open(out + "/pictures.md", "w", newline="") as f:
    f.write("\n".join(with_pictures))
PY

ours=""; report=""
for _ in 1 2 3; do
  out=$(run_program "$exe" "$(wpath "$work/help.md")" "$(wpath "$work/pictures.md")")
  s=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
  [ -n "$s" ] || { report=$out; ours=""; break; }
  if [ -z "$ours" ] || awk -v a="$s" -v b="$ours" 'BEGIN { exit !(a < b) }'; then ours=$s; report=$out; fi
done
if [ -z "$ours" ]; then echo "the view benchmark did not run"; printf '%s\n' "$report"; exit 1; fi
printf '%s\n' "$report" | grep -v '^seconds '
theirs=$(best_time cmark "$work/help.md")
awk -v o="$ours" -v c="$theirs" 'BEGIN {
  r = c > 0 ? o / c : 0
  printf "layout: quenby %.4f s, cmark %.4f s, ratio %.2f (target: within 2x of cmark)\n", o, c, r
}'
