#!/usr/bin/env bash
# Opening a Markdown help document (read, block kinds, inline marks and
# links) beside cmark rendering the same file to HTML: a 1 MB help-style
# document, a 1 MB single line of inline constructs, and one paragraph
# followed by 500,000 empty lines. Prints both times and the ratio: the load
# of a fresh process (best of three processes) against cmark's best of
# three runs.
#
#   bash bench/markdown_load_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe markdown_load_bench
command -v cmark >/dev/null || { echo "cmark is missing (scripts/setup.sh installs it)"; exit 1; }

bench_work

python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
rng = random.Random(11)
words = ("the viewer shows each document in a tab with its table of contents beside it "
         "links open other documents pictures are drawn search copy print page header footer "
         "option profile folder file compare side line text").split()
def sentence():
    parts = []
    for _ in range(rng.randrange(6, 16)):
        w = rng.choice(words)
        k = rng.randrange(12)
        if k == 0: w = "**" + w + "**"
        elif k == 1: w = "*" + w + "*"
        elif k == 2: w = "[" + w + "](" + w + ".md)"
        elif k == 3: w = "`" + w + "`"
        elif k == 4: w = "<em>" + w + "</em>"
        parts.append(w)
    return " ".join(parts).capitalize() + "."
def help_document(size):
    lines, total, n = [], 0, 0
    while total < size:
        n += 1
        block = []
        block.append("#" * rng.randrange(1, 4) + " Section " + str(n))
        block.append("")
        for _ in range(rng.randrange(1, 4)):
            block += [sentence() for _ in range(rng.randrange(1, 4))]
            block.append("")
        k = rng.randrange(6)
        if k == 0:
            block += ["- " + sentence() for _ in range(rng.randrange(2, 6))]
            block += ["  - " + sentence() for _ in range(2)]
        elif k == 1:
            block += [str(i + 1) + ". " + sentence() for i in range(rng.randrange(2, 6))]
        elif k == 2:
            block += ["```"] + ["    value = compare(left, right) + " + str(i) for i in range(5)] + ["```"]
        elif k == 3:
            block += ["    indented code line " + str(i) for i in range(4)]
        elif k == 4:
            block += ["| Key | Meaning | Default |", "|:-|:-:|-:|"]
            block += ["| " + rng.choice(words) + " | " + sentence() + " | " + str(i) + " |" for i in range(4)]
        else:
            block += ["> " + sentence() for _ in range(3)]
        block.append("")
        text = "\n".join(block) + "\n"
        lines.append(text)
        total += len(text)
    return "".join(lines)
with open(out + "/help.md", "w", newline="") as f:
    f.write(help_document(1 << 20))
pieces = ["**bold** ", "*it* ", "[link](x.md) ", "![p](p.png) ", "~~s~~ ", "<em>e</em> ", "text ", "`c` ", "__u__ "]
line = []
total = 0
while total < (1 << 20):
    p = rng.choice(pieces)
    line.append(p)
    total += len(p)
with open(out + "/line.md", "w", newline="") as f:
    f.write("".join(line) + "\n")
with open(out + "/empty.md", "w", newline="") as f:
    f.write("One paragraph of text.\n" + "\n" * 500000)
PY

cmark_time() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    cmark "$1" >/dev/null
    t1=$(date +%s%N)
    local t=$(( t1 - t0 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

status=0
for case in "help.md:1 MB help document" "line.md:1 MB single line of inline constructs" \
            "empty.md:one paragraph and 500,000 empty lines"; do
  IFS=: read -r file label <<< "$case"
  ours=""; report=""
  for _ in 1 2 3; do
    out=$(bash "$here/scripts/wine-run.sh" "$exe" "$(wpath "$work/$file")" 2>/dev/null < /dev/null | tr -d '\r')
    s=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
    [ -n "$s" ] || { report=$out; ours=""; break; }
    report=$out
    if [ -z "$ours" ] || awk -v a="$s" -v b="$ours" 'BEGIN { exit !(a < b) }'; then ours=$s; fi
  done
  echo "== $label"
  if [ -z "$ours" ]; then echo "the load did not run"; printf '%s\n' "$report"; status=1; continue; fi
  printf '%s\n' "$report" | grep -v '^seconds '
  theirs=$(cmark_time "$work/$file")
  awk -v o="$ours" -v c="$theirs" 'BEGIN {
    r = c > 0 ? o / c : 0
    printf "quenby %.4f s, cmark %.4f s, ratio %.2f (target: within 2x of cmark)\n", o, c, r
  }'
done
exit $status
