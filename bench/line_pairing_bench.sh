#!/usr/bin/env bash
# Line pairing quality of the text compare beside GNU diff: generated source
# files of 10,000 and 100,000 lines (with blank lines, braces and other
# repeated lines among them) against copies with three blocks of 10, 100 and
# 1,000 lines inserted, deleted or moved elsewhere. Prints per case the lines
# the compare leaves unpaired (the lines of one-sided rows and both lines of
# every changed row), the lines diff marks ('<' and '>'), and the ratio, and
# for contrast the look-ahead walk alone (without the anchors on lines that
# occur once on each side). Target: every case within 1.2x of diff.
#
#   bash bench/line_pairing_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe line_pairing_bench

bench_work

python3 - "$work" <<'PYEOF'
import random, sys
out = sys.argv[1]
words = ("int value count index result buffer length return if else for while "
         "static const struct class void char size_t break continue case switch "
         "left right top bottom width height first last next prev node list item "
         "open close read write flush error state mode flags options table entry").split()
repeated = ["", "", "", "}", "}", "{", "    }", "        break;", "    return 0;", "else", "#endif"]
def line(rng):
    if rng.random() < 0.22:
        return rng.choice(repeated)
    indent = " " * (4 * rng.randrange(0, 4))
    parts = [rng.choice(words) for _ in range(rng.randrange(3, 9))]
    tail = rng.choice([";", " {", "", ");", " = 0;", ", " + str(rng.randrange(1000)) + ");"])
    return indent + " ".join(parts) + tail
def write(name, lines):
    with open(out + "/" + name, "w", newline="") as f:
        f.write("".join(s + "\r\n" for s in lines))
def starts(rng, total, block, count):
    # Block starts at least a block apart, away from the ends.
    while True:
        s = sorted(rng.randrange(block, total - 2 * block) for _ in range(count))
        if all(b - a > 2 * block for a, b in zip(s, s[1:])):
            return s
for total in (10000, 100000):
    rng = random.Random(total)
    base = [line(rng) for _ in range(total)]
    write("base%d.txt" % total, base)
    for block in (10, 100, 1000):
        at = starts(rng, total, block, 3)
        inserted = list(base)
        for s in reversed(at):
            inserted[s:s] = [line(rng) for _ in range(block)]
        write("inserted%d_%d.txt" % (total, block), inserted)
        deleted = list(base)
        for s in reversed(at):
            del deleted[s:s + block]
        write("deleted%d_%d.txt" % (total, block), deleted)
        # Each block moves to a random place more than two blocks (and more
        # than the look-ahead) away.
        moved = list(base)
        for s in at:
            piece = moved[s:s + block]
            del moved[s:s + block]
            d = s
            while abs(d - s) <= max(2 * block, 100):
                d = rng.randrange(0, len(moved))
            moved[d:d] = piece
        write("moved%d_%d.txt" % (total, block), moved)
PYEOF

# The path as Wine's Z: drive shows it.
unpaired() {
  run_program "$exe" "$(wpath "$1")" "$(wpath "$2")" ${3:-} |
    awk '/^unpaired / { print $2 }'
}

status=0
printf '%-32s %10s %10s %7s %12s\n' "case" "tavrel" "diff" "ratio" "walk alone"
for total in 10000 100000; do
  for kind in inserted deleted moved; do
    for block in 10 100 1000; do
      file="$work/${kind}${total}_${block}.txt"
      ours=$(unpaired "$work/base$total.txt" "$file")
      alone=$(unpaired "$work/base$total.txt" "$file" --walk-alone)
      theirs=$(diff "$work/base$total.txt" "$file" | grep -c '^[<>]' || true)
      if [ -z "$ours" ]; then echo "$kind $block in $total: the compare did not run"; status=1; continue; fi
      awk -v c="$(printf '3 x %d %s, %d lines' "$block" "$kind" "$total")" -v o="$ours" -v d="$theirs" \
          -v a="${alone:-?}" 'BEGIN {
        r = d > 0 ? o / d : 0
        printf "%-32s %10d %10d %7.2f %12s%s\n", c, o, d, r, a, (r > 1.2 ? "  (over the 1.2x target)" : "")
      }'
    done
  done
done
exit $status
