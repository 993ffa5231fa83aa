#!/usr/bin/env bash
# Text compare beside GNU diff on the same files: a 1 MiB text file against
# copies with 1 % and 10 % of the lines changed, against a file of the same
# size with no line in common, and a 64 MiB file against a copy with 1 % of
# the lines changed. Prints both times and the ratio: the first compare of a
# fresh process (best of three processes) against diff's best of three runs,
# and a second compare in the same process; for the 64 MiB pair also the
# load beside RawLineFile reading the same two files.
#
#   bash bench/text_compare_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe text_compare_bench

bench_work

python3 - "$work" <<'EOF'
import random, sys
out = sys.argv[1]
words = ("int value count index result buffer length return if else for while "
         "static const struct class void char size_t break continue case switch "
         "left right top bottom width height first last next prev node list item "
         "open close read write flush error state mode flags options table entry").split()
def line(rng):
    indent = " " * (4 * rng.randrange(0, 4))
    parts = [rng.choice(words) for _ in range(rng.randrange(3, 11))]
    tail = rng.choice([";", " {", "", ");", " = 0;", ", " + str(rng.randrange(1000)) + ");"])
    return indent + " ".join(parts) + tail
def make(seed, size):
    rng = random.Random(seed)
    lines, total = [], 0
    while total < size:
        s = line(rng)
        lines.append(s)
        total += len(s) + 2
    return lines
def change(lines, fraction, seed):
    rng = random.Random(seed)
    result = list(lines)
    for i in rng.sample(range(len(lines)), int(len(lines) * fraction)):
        s = result[i]
        k = rng.randrange(0, 3)
        if k == 0 and len(s) > 4:
            p = rng.randrange(len(s) - 3)
            s = s[:p] + rng.choice(words) + s[p + 3:]
        elif k == 1:
            s = s + " // " + rng.choice(words)
        else:
            s = s.replace(" ", "_", 1) + str(rng.randrange(10))
        result[i] = s
    return result
def write(name, lines):
    with open(out + "/" + name, "w", newline="") as f:
        f.write("".join(s + "\r\n" for s in lines))
base = make(1, 1 << 20)
write("base.txt", base)
write("changed1.txt", change(base, 0.01, 2))
write("changed10.txt", change(base, 0.10, 3))
seen = set(base)
other = [s if s not in seen else s + " /* other */" for s in make(4, 1 << 20)]
write("other.txt", other)
big = make(5, 64 << 20)
write("base64.txt", big)
write("changed64.txt", change(big, 0.01, 6))
EOF


status=0
# first:second:label:target (at most this many times diff's time; 0: the
# no-equal-lines budget of 2 s per MiB):compare the load with RawLineFile
for pair in "base.txt:changed1.txt:1% of lines changed:1:no" "base.txt:changed10.txt:10% of lines changed:1:no" \
            "base.txt:other.txt:no equal lines:0:no" "base64.txt:changed64.txt:64 MiB, 1% of lines changed:1.2:yes"; do
  IFS=: read -r first file label limit reading <<< "$pair"
  # Three fresh processes of two rounds each: the first round of a process
  # is what a user's first compare costs (every page of memory touched for
  # the first time), the second what a reload or the next pair costs.
  cold=""; warm=""; load=""; report=""
  for _ in 1 2 3; do
    out=$(run_program "$exe" "$(wpath "$work/$first")" "$(wpath "$work/$file")" 2)
    c=$(printf '%s\n' "$out" | awk '/^first run / { print $3 }')
    l=$(printf '%s\n' "$out" | awk '/^first load / { print $3 }')
    w=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
    [ -n "$c" ] && [ -n "$w" ] && [ -n "$l" ] || { report=$out; cold=""; break; }
    report=$out
    if [ -z "$cold" ] || awk -v a="$c" -v b="$cold" 'BEGIN { exit !(a < b) }'; then cold=$c; fi
    if [ -z "$load" ] || awk -v a="$l" -v b="$load" 'BEGIN { exit !(a < b) }'; then load=$l; fi
    if [ -z "$warm" ] || awk -v a="$w" -v b="$warm" 'BEGIN { exit !(a < b) }'; then warm=$w; fi
  done
  if [ -z "$cold" ]; then echo "$label: the compare did not run"; printf '%s\n' "$report"; status=1; continue; fi
  theirs=$(best_time diff "$work/$first" "$work/$file")
  echo "== $label"
  printf '%s\n' "$report" | grep -v '^seconds ' | grep -v '^first run ' | grep -v '^first load '
  awk -v o="$cold" -v w="$warm" -v d="$theirs" -v limit="$limit" 'BEGIN {
    r = d > 0 ? o / d : 0
    printf "tavrel %.4f s (first compare of a process), diff %.4f s, ratio %.2f", o, d, r
    if (limit == 1) printf " (target: at or below diff)\n"
    else if (limit > 0) printf " (target: within %sx of diff)\n", limit
    else printf " (target: under 2 s per MiB)\n"
    printf "tavrel again in the same process %.4f s, ratio %.2f\n", w, (d > 0 ? w / d : 0)
  }'
  if [ "$reading" = yes ]; then
    # The load beside RawLineFile reading the same two files (each in a
    # fresh process, best of three).
    read_best=""
    for _ in 1 2 3; do
      r=$(run_program "$exe" --read "$(wpath "$work/$first")" "$(wpath "$work/$file")" | awk '/^read / { print $2 }')
      [ -n "$r" ] || continue
      if [ -z "$read_best" ] || awk -v a="$r" -v b="$read_best" 'BEGIN { exit !(a < b) }'; then read_best=$r; fi
    done
    if [ -z "$read_best" ]; then echo "RawLineFile could not read the files"; status=1; continue; fi
    awk -v l="$load" -v r="$read_best" 'BEGIN {
      printf "load %.4f s (first of a process), RawLineFile reading the same files %.4f s, ratio %.2f (target: within 4x)\n", l, r, (r > 0 ? l / r : 0)
    }'
  fi
done
exit $status
