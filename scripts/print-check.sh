#!/usr/bin/env bash
# Runs the printing tests (argument 1: the test program, argument 2 on: the
# program that runs it, e.g. scripts/wine-run.sh) and checks the PDFs they
# printed into the "Quenby_PDF" queue: two A4 pages titled after the
# document, page two's and page three's texts, and no pixel of the page
# view's head colour; and the document of every block kind: its two
# pictures at the printer's resolution and in their proportions, each word
# of its long paragraph once and in order, its list dots drawn as dots on
# the page colour, its code block in its own fill colour; and the document
# of Japanese and bold text: a Japanese face embedded, its characters drawn
# as glyphs, not boxes, and its bold line clearly heavier than the plain
# one; the document of lines ending in "w", "." and ";": each line's last
# glyph as whole as the same glyph before it; and the document of Japanese
# page bands and heading: the bands' characters drawn as glyphs, and the
# heading clearly heavier than its text plain; the document of Latin and
# Japanese headings in a print face without a bold style: that face alone,
# and each heading clearly heavier than its text plain; the document of a
# table far wider than the page: every cell's word whole, and no text past
# the page's right margin; the document printed from page 5 to page 3:
# pages three to five, in order. Fails, naming scripts/print-queue.sh,
# without the queue.
set -euo pipefail

test_program="$1"; shift
out_dir="${QUENBY_PDF_DIR:-/var/spool/quenby-pdf}"
title="QuenbyPrintCheck.md"

if ! command -v lpstat >/dev/null 2>&1 || ! lpstat -p Quenby_PDF >/dev/null 2>&1; then
  echo "print-check.sh: no queue \"Quenby_PDF\": run scripts/print-queue.sh" >&2
  exit 1
fi
for tool in pdfinfo pdftotext pdftoppm pdfimages pdffonts python3; do
  command -v "$tool" >/dev/null || { echo "print-check.sh: $tool missing (poppler-utils)" >&2; exit 1; }
done

stamp=$(mktemp)
helpers=$(mktemp -d)
trap 'rm -rf "$stamp" "$helpers"' EXIT
# The rendered pages are read as binary PPM by the checks below.
cat >"$helpers/ppm.py" <<'PY'
def read_ppm(path):
    """Width, height and the RGB bytes of a binary PPM file."""
    data = open(path, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace(): pos += 1
        end = pos
        while not data[end:end + 1].isspace(): end += 1
        fields.append(data[pos:end]); pos = end
    pos += 1
    return int(fields[1]), int(fields[2]), data[pos:]

def shapes_and_boxes(w, mine):
    """The connected shapes of the pixels (indices into a page w wide) at
    least 5 by 5, and how many of them are empty boxes (all four edges of
    their bounding rectangle inked): a missing glyph prints as such a box."""
    seen = set()
    shapes = boxes = 0
    for start in sorted(mine):
        if start in seen: continue
        seen.add(start)
        stack, cells = [start], []
        while stack:
            i = stack.pop(); cells.append(i)
            x = i % w
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    j = i + dy * w + dx
                    if 0 <= x + dx < w and j in mine and j not in seen:
                        seen.add(j); stack.append(j)
        xs = [i % w for i in cells]; ys = [i // w for i in cells]
        x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
        if x1 - x0 < 4 or y1 - y0 < 4: continue
        shapes += 1
        cs = set(cells)
        edge = lambda pts: sum(1 for p in pts if p in cs) / len(pts)
        if min(edge([y0 * w + x for x in range(x0, x1 + 1)]), edge([y1 * w + x for x in range(x0, x1 + 1)]),
               edge([y * w + x0 for y in range(y0, y1 + 1)]), edge([y * w + x1 for y in range(y0, y1 + 1)])) > 0.9:
            boxes += 1
    return shapes, boxes

def dark_lines(w, h, pix):
    """The bands of rows holding black ink, each taller than 10 rows, from
    the top: [first row, last row, inked pixels]."""
    dark = lambda i: pix[3 * i] < 96 and pix[3 * i + 1] < 96 and pix[3 * i + 2] < 96
    rows = [sum(1 for x in range(w) if dark(y * w + x)) for y in range(h)]
    bands, inside = [], False
    for y, n in enumerate(rows):
        if n and not inside: bands.append([y, y, 0]); inside = True
        if n: bands[-1][1] = y; bands[-1][2] += n
        if not n: inside = False
    return [b for b in bands if b[1] - b[0] > 10]
PY
export PYTHONPATH="$helpers${PYTHONPATH:+:$PYTHONPATH}"
"$@" "$test_program" --gtest_filter='PrintQueueTest.*'

# The newest PDF since the tests began titled $1 whose page count passes
# the test $2 (e.g. "= 2"); CUPS-PDF writes the file a moment after the
# job ends.
find_pdf() {
  local f pages
  for _ in $(seq 1 100); do
    for f in $(ls -t "$out_dir"/*.pdf 2>/dev/null); do
      [ "$f" -nt "$stamp" ] || continue
      pdfinfo "$f" 2>/dev/null | grep -q "^Title: *$1\$" || continue
      pages=$(pdfinfo "$f" | sed -n 's/^Pages: *//p')
      if [ "$pages" $2 ]; then echo "$f"; return 0; fi
    done
    sleep 0.1
  done
  return 1
}
pdf=$(find_pdf "$title" "= 2") || { echo "print-check.sh: no two-page PDF titled $title in $out_dir" >&2; exit 1; }

fail() { echo "print-check.sh: $pdf: $*" >&2; exit 1; }
pdfinfo "$pdf" | grep -q "Page size:.*(A4)" || fail "not A4"
page1=$(pdftotext -f 1 -l 1 "$pdf" -)
page2=$(pdftotext -f 2 -l 2 "$pdf" -)
grep -q "Page two" <<<"$page1" || fail "page 1 lacks \"Page two\""
grep -q "Page 2 of 5" <<<"$page1" || fail "page 1 lacks \"Page 2 of 5\""
grep -q "Page three" <<<"$page2" || fail "page 2 lacks \"Page three\""
grep -q "Page 3 of 5" <<<"$page2" || fail "page 2 lacks \"Page 3 of 5\""
# The head colour 0x20C040 (red 0x40, green 0xC0, blue 0x20) is the
# screen's page band: a printed page never shows it.
ppm=$(mktemp --suffix=.ppm)
pdftoppm -r 50 -f 1 -l 1 "$pdf" >"$ppm"
if LC_ALL=C grep -q $'\x40\xc0\x20' "$ppm"; then fail "the page shows the screen's head colour"; fi
rm -f "$ppm"
echo "print-check.sh: $pdf checked"

whole="QuenbyPrintWhole.md"
pdf=$(find_pdf "$whole" "-ge 3") || { echo "print-check.sh: no PDF of three pages or more titled $whole in $out_dir" >&2; exit 1; }
# The pictures: the PNG (160 x 80, its left half transparent) and the JPEG
# (90 x 120), each put down once at the printer's resolution (about 300
# pixels an inch) in its own proportions.
images=$(pdfimages -list "$pdf" | awk 'NR > 2 && $3 == "image" {print $4, $5, $13, $14}')
check_picture() {
  awk -v ratio="$1" '{r = $1 / $2; if (r > ratio * 0.95 && r < ratio * 1.05 && $3 > 200 && $3 < 400 && $4 > 200 && $4 < 400) n++}
                     END {exit n == 1 ? 0 : 1}' <<<"$images" || fail "no picture of proportions $1 at about 300 ppi in: $images"
}
check_picture 2
check_picture 0.75
# The long paragraph: w0001 to w2500, each once, in order, over the pages.
text=$(pdftotext "$pdf" -)
words=$(tr -s ' \n\f' '\n' <<<"$text" | grep -E '^w[0-9]{4}$' | tr '\n' ' ')
[ "$words" = "$(printf 'w%04d ' $(seq 1 2500))" ] || fail "the long paragraph's words are not all there once and in order"
for part in cellone celltwo "code line one" "a checked box"; do
  grep -qF "$part" <<<"$text" || fail "lacks \"$part\""
done
# The dots of "- " and "* ": round marks whose bounding squares have light
# corners; a mark drawn over an unreadable copy of the page is a dark
# square.
ppm=$(mktemp --suffix=.ppm)
pdftoppm -r 100 -f 1 -l 1 "$pdf" >"$ppm"
python3 - "$ppm" <<'PY' || fail "the list dots are not dots on the page colour"
import sys
from ppm import read_ppm
w, h, pix = read_ppm(sys.argv[1])
dark = lambda x, y: sum(pix[3 * (y * w + x):3 * (y * w + x) + 3]) < 3 * 96
seen = bytearray(w * h)
dots = squares = 0
# Marks stand in the left tenth of the page's text.
for y0 in range(h):
    for x0 in range(w // 4):
        if seen[y0 * w + x0] or not dark(x0, y0): continue
        stack, xs, ys, n = [(x0, y0)], [], [], 0
        seen[y0 * w + x0] = 1
        while stack:
            x, y = stack.pop(); xs.append(x); ys.append(y); n += 1
            for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if 0 <= nx < w and 0 <= ny < h and not seen[ny * w + nx] and dark(nx, ny):
                    seen[ny * w + nx] = 1; stack.append((nx, ny))
        bw, bh = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
        if bw < 4 or bh < 4 or abs(bw - bh) > 1: continue
        fill = n / (bw * bh)
        if fill > 0.95: squares += 1
        elif 0.6 < fill < 0.9: dots += 1
print("dots", dots, "squares", squares)
sys.exit(0 if dots >= 2 and squares == 0 else 1)
PY
# The code block's fill is its own colour 0xF0F0F0, whatever the window
# colour of the printing session was.
inner=$(python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); print(d.count(b"\xf0" * 3))' "$ppm")
[ "$inner" -ge 2000 ] || fail "the code block is not filled with its own colour ($inner pixels)"
rm -f "$ppm"
echo "print-check.sh: $pdf checked"

japanese="QuenbyPrintJapanese.md"
pdf=$(find_pdf "$japanese" "= 1") || { echo "print-check.sh: no one-page PDF titled $japanese in $out_dir" >&2; exit 1; }
# The Latin face has no kana or kanji: another face must carry them.
fonts=$(pdffonts "$pdf" | awk 'NR > 2 {print $1}')
grep -qiv 'dejavu' <<<"$fonts" || fail "no face besides the Latin one embedded: $(tr '\n' ' ' <<<"$fonts")"
ppm=$(mktemp --suffix=.ppm)
pdftoppm -r 300 -aa no -aaVector no -f 1 -l 1 "$pdf" >"$ppm"
python3 - "$ppm" <<'PY' || fail "the Japanese line is not drawn whole as glyphs, or the bold line is not heavier than the plain one"
import sys
from ppm import dark_lines, read_ppm, shapes_and_boxes
w, h, pix = read_ppm(sys.argv[1])
# The italic colour 0x2060A0 (red 0xA0, green 0x60, blue 0x20) marks the
# Japanese line's pixels (the PDF's colour conversion may move it a little).
near = lambda i: abs(pix[3 * i] - 0xA0) < 12 and abs(pix[3 * i + 1] - 0x60) < 12 and abs(pix[3 * i + 2] - 0x20) < 12
italic = [i for i in range(w * h) if 0x94 < pix[3 * i] < 0xAC and near(i)]
shapes, boxes = shapes_and_boxes(w, set(italic))
# The black lines below it: the bold one first, then the plain one.
dark = lambda i: pix[3 * i] < 96 and pix[3 * i + 1] < 96 and pix[3 * i + 2] < 96
lines = dark_lines(w, h, pix)
ratio = lines[0][2] / lines[1][2] if len(lines) >= 2 and lines[1][2] else 0
# The Japanese line whole: its 20 full-width characters and 2 blanks are
# about 21 ems, the plain line's 26 narrow characters about 16; laid out
# with the Latin face's widths, the row would clip the wider glyphs.
def extent(y0, y1, inked):
    xs = [x for y in range(y0, y1 + 1) for x in range(w) if inked(y * w + x)]
    return max(xs) - min(xs) + 1 if xs else 0
wide = (max(i % w for i in italic) - min(i % w for i in italic) + 1) if italic else 0
narrow = extent(lines[1][0], lines[1][1], dark) if len(lines) >= 2 else 0
span = wide / narrow if narrow else 0
print("glyph shapes", shapes, "boxes", boxes, "bold to plain ink", round(ratio, 2),
      "Japanese to Latin width", round(span, 2))
sys.exit(0 if shapes >= 15 and boxes <= 1 and ratio > 1.4 and span > 1.2 else 1)
PY
rm -f "$ppm"
echo "print-check.sh: $pdf checked"

edges="QuenbyPrintEdges.md"
pdf=$(find_pdf "$edges" "-ge 1") || { echo "print-check.sh: no PDF titled $edges in $out_dir" >&2; exit 1; }
dir=$(mktemp -d)
pdftoppm -r 300 -gray -aa no -aaVector no "$pdf" "$dir/page"
python3 - "$dir"/page*.pgm <<'PY' || fail "a line's last glyph is cut"
import sys
from ppm import read_ppm
# Each printed line alternates a filler letter with the glyph it ends in,
# blank between: its glyphs are the runs of inked columns of its band of
# inked rows, and every second one is the glyph the line ends in.
dark = bytes(1 if v < 128 else 0 for v in range(256))
lines = bad = 0
for path in sys.argv[1:]:
    w, h, pix = read_ppm(path)
    ink = pix.translate(dark)
    inked = [1 in ink[y * w:(y + 1) * w] for y in range(h)]
    y = 0
    while y < h:
        if not inked[y]:
            y += 1
            continue
        y0 = y
        while y < h and inked[y]: y += 1
        columns = [sum(c) for c in zip(*(ink[r * w:(r + 1) * w] for r in range(y0, y)))]
        glyphs, x = [], 0
        while x < w:
            if not columns[x]:
                x += 1
                continue
            x0 = x
            while x < w and columns[x]: x += 1
            glyphs.append((x - x0, sum(columns[x0:x])))
        lines += 1
        if len(glyphs) < 8 or len(glyphs) % 2:
            print("line at", y0, "of", path, "has", len(glyphs), "glyphs")
            bad += 1
            continue
        ends = glyphs[1::2]
        width = min(g[0] for g in ends[:-1])
        weight = min(g[1] for g in ends[:-1])
        last = ends[-1]
        if last[0] < width - 1 or last[1] < 0.9 * weight:
            print("line at", y0, "of", path, "ends in a glyph", last[0], "wide with", last[1], "inked pixels;",
                  "the same glyph before it:", width, "wide,", weight, "inked pixels")
            bad += 1
print("lines", lines, "cut", bad)
sys.exit(0 if lines == 36 and bad == 0 else 1)
PY
rm -rf "$dir"
echo "print-check.sh: $pdf checked"

bands="QuenbyPrintBands.md"
pdf=$(find_pdf "$bands" "= 1") || { echo "print-check.sh: no one-page PDF titled $bands in $out_dir" >&2; exit 1; }
ppm=$(mktemp --suffix=.ppm)
pdftoppm -r 300 -aa no -aaVector no -f 1 -l 1 "$pdf" >"$ppm"
python3 - "$ppm" <<'PY' || fail "the bands' Japanese is not drawn as glyphs, or the heading is not heavier than its plain line"
import sys
from ppm import dark_lines, read_ppm, shapes_and_boxes
w, h, pix = read_ppm(sys.argv[1])
# The bands' colour 0x30A030; the PDF's colour conversion may move it a
# little.
green = lambda i: abs(pix[3 * i] - 0x30) < 16 and abs(pix[3 * i + 1] - 0xA0) < 16 and abs(pix[3 * i + 2] - 0x30) < 16
band = lambda first_row, end_row: set(i for i in range(first_row * w, end_row * w) if green(i))
head = shapes_and_boxes(w, band(0, h // 6))
foot = shapes_and_boxes(w, band(h - h // 6, h))
# The black lines: the heading first, then the same text plain, as high.
lines = dark_lines(w, h, pix)
ratio = lines[0][2] / lines[1][2] if len(lines) >= 2 and lines[1][2] else 0
print("header shapes and boxes", head, "footer shapes and boxes", foot, "heading to plain ink", round(ratio, 2))
sys.exit(0 if head[0] >= 8 and head[1] <= 1 and foot[0] >= 8 and foot[1] <= 1 and ratio > 1.3 else 1)
PY
rm -f "$ppm"
echo "print-check.sh: $pdf checked"

faced="QuenbyPrintFaceWithoutBold.md"
pdf=$(find_pdf "$faced" "= 1") || { echo "print-check.sh: no one-page PDF titled $faced in $out_dir" >&2; exit 1; }
# The style file beside the document chose the Japanese face for all text:
# the default Latin face has no part in the page.
fonts=$(pdffonts "$pdf" | awk 'NR > 2 {print $1}')
if [ -z "$fonts" ] || grep -qi 'dejavu' <<<"$fonts"; then fail "not printed in the chosen face alone: $(tr '\n' ' ' <<<"$fonts")"; fi
ppm=$(mktemp --suffix=.ppm)
pdftoppm -r 300 -aa no -aaVector no -f 1 -l 1 "$pdf" >"$ppm"
python3 - "$ppm" <<'PY' || fail "a heading in a face without bold is not heavier than its plain text"
import sys
from ppm import dark_lines, read_ppm
w, h, pix = read_ppm(sys.argv[1])
# The Latin heading, its text plain, the Japanese heading, its text plain.
lines = dark_lines(w, h, pix)
ratios = [lines[k][2] / lines[k + 1][2] if lines[k + 1][2] else 0 for k in (0, 2)] if len(lines) == 4 else []
print("lines", len(lines), "heading to plain ink, Latin and Japanese", [round(r, 2) for r in ratios])
sys.exit(0 if len(ratios) == 2 and min(ratios) > 1.3 else 1)
PY
rm -f "$ppm"
echo "print-check.sh: $pdf checked"

wide="QuenbyPrintWideTable.md"
pdf=$(find_pdf "$wide" "-ge 1") || { echo "print-check.sh: no PDF titled $wide in $out_dir" >&2; exit 1; }
python3 - "$pdf" <<'PY' || fail "a cell's word is missing or cut, or text stands past the right margin"
import re, subprocess, sys
html = subprocess.run(['pdftotext', '-bbox', sys.argv[1], '-'], capture_output=True, text=True, check=True).stdout
width = float(re.search(r'<page width="([0-9.]+)"', html).group(1))
words = [(float(a), float(b), w) for a, b, w in
         re.findall(r'<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>', html)]
# The page is 2479 printer pixels wide, its right margin 100 of them.
limit = width * (2479 - 100) / 2479 + 1
wanted = {w + r + c + e for r in 'ABCD' for c in 'ABCDEFGH' for w, e in (('Cell', 'word'), ('more', ''))}
found = {w for _, _, w in words}
missing = sorted(wanted - found)
past = [(w, round(x1, 1)) for _, x1, w in words if x1 > limit]
print('words', len(words), 'missing', missing, 'past the margin at', round(limit, 1), past)
sys.exit(0 if not missing and not past else 1)
PY
echo "print-check.sh: $pdf checked"

backwards="QuenbyPrintBackwards.md"
pdf=$(find_pdf "$backwards" "-ge 1") || { echo "print-check.sh: no PDF titled $backwards in $out_dir" >&2; exit 1; }
pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
[ "$pages" = 3 ] || fail "$pages pages printed from page 5 to page 3, not 3"
n=1
for name in three four five; do
  pdftotext -f $n -l $n "$pdf" - | grep -q "Page $name" || fail "page $n lacks \"Page $name\""
  n=$((n + 1))
done
echo "print-check.sh: $pdf checked"
