#!/usr/bin/env bash
# The help viewer's "Page" button on a short document that shows a large
# picture: "# T", a paragraph, a 1000 x 1400 PNG and three short paragraphs.
# The switch into page view and back, the first time and the slowest of the
# later ones, beside the same document with the picture replaced by a
# missing file (its alternative text in a frame), each the best of three
# fresh processes, with the ratio (target: every switch within 500 ms on the
# shipped 32-bit build, the picture's cost small beside the page's own);
# wall and CPU times both.
#
#   bash bench/quenby_page_switch_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_page_switch_bench

bench_work
python3 - "$work" "$here/bench" <<'PY'
import sys
out = sys.argv[1]
sys.path.insert(0, sys.argv[2])
from rgb_png import write_rgb_png
# A 1000 x 1400 RGB picture: blocks of colour with a gradient across them.
width, height = 1000, 1400
rows = bytearray()
for y in range(height):
    row = bytearray(b"\x00")
    for x in range(width):
        block = (x // 125 + y // 175) % 4
        row += bytes(((x * 255) // width, (y * 255) // height, (0, 90, 180, 255)[block]))
    rows += row
write_rgb_png(out + "/big.png", width, height, rows)
text = ("# T\n\nA paragraph before the picture, long enough to wrap once in the window.\n\n"
        "![picture](%s)\n\nThe first short paragraph.\n\nThe second short paragraph.\n\n"
        "The third short paragraph.\n")
with open(out + "/picture.md", "w", newline="") as f:
    f.write(text % "big.png")
with open(out + "/missing.md", "w", newline="") as f:
    f.write(text % "missing.png")
PY

best_window_of_three "$exe" "$(wpath "$work/picture.md")"
[ -n "$best" ] || { echo "the page switch benchmark did not run"; printf '%s\n' "$report"; exit 1; }
picture=$report
best_window_of_three "$exe" "$(wpath "$work/missing.md")"
[ -n "$best" ] || { echo "the page switch benchmark did not run without the picture"; printf '%s\n' "$report"; exit 1; }
missing=$report
{ printf '%s\n' "$picture" | sed 's/^/P /'; printf '%s\n' "$missing" | sed 's/^/M /'; } | awk '
  { v[$1 SUBSEP $2] = $3; c[$1 SUBSEP $2] = $4 }
  END {
    split("first into back", names, " ")
    for (i = 1; i <= 3; i++) {
      n = names[i]; p = v["P" SUBSEP n]; m = v["M" SUBSEP n]; pc = c["P" SUBSEP n]; mc = c["M" SUBSEP n]
      label = n == "first" ? "first switch into page view" : (n == "into" ? "later switch into page view" : "switch back to line view")
      r = m > 0 ? p / m : 0
      rc = mc > 0 ? pc / mc : 0
      miss = p <= 0.5 ? "" : "  MISSED (target 500 ms)"
      printf "%s: 1000 x 1400 picture %.4f s (CPU %.4f s), missing picture %.4f s (CPU %.4f s), ratio %.2f (CPU %.2f)%s\n", label, p, pc, m, mc, r, rc, miss
    }
  }'
