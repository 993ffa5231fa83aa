#!/usr/bin/env bash
# Long lines: one-line text files of 64 K, 256 K and 1 MiB units against
# copies with 1 % of their characters replaced, put in or taken out,
# compared through the text kind under Wine, beside GNU diff on the same
# files. diff compares whole lines, so for one line a file it only finds the
# line changed: its time is a reference, not a like-for-like peer. Prints
# both times and the ratio: the first compare of a fresh process (best of
# three processes) against diff's best of three runs.
#
#   bash bench/long_line_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe long_line_bench

bench_work

python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
words = ("int value count index result buffer length return if else for while "
         "static const struct class void char size_t break continue case switch "
         "left right top bottom width height first last next prev node list item").split()
for name, size in (("64k", 64 << 10), ("256k", 256 << 10), ("1m", 1 << 20)):
    rng = random.Random(size)
    parts, total = [], 0
    while total < size:
        w = rng.choice(words) + rng.choice(" ;, ")
        parts.append(w)
        total += len(w)
    a = "".join(parts)[:size]
    b = []
    for c in a:
        if rng.random() >= 0.01:
            b.append(c)
            continue
        k = rng.randrange(3)
        if k == 0:
            b.append(chr(rng.randrange(65, 91)))
        elif k == 1:
            b.append(c + chr(rng.randrange(65, 91)))
    with open(f"{out}/{name}-1.txt", "w", newline="") as f:
        f.write(a)
    with open(f"{out}/{name}-2.txt", "w", newline="") as f:
        f.write("".join(b))
PY


status=0
for name in 64k 256k 1m; do
  label="one line of $name units, 1% of characters changed"
  best=""; report=""
  for _ in 1 2 3; do
    out=$(run_program "$exe" "$(wpath "$work/$name-1.txt")" "$(wpath "$work/$name-2.txt")" 1)
    t=$(printf '%s\n' "$out" | awk '/^first run / { print $3 }')
    [ -n "$t" ] || { report=$out; best=""; break; }
    report=$out
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  if [ -z "$best" ]; then echo "$label: the compare did not run"; printf '%s\n' "$report"; status=1; continue; fi
  theirs=$(best_time diff "$work/$name-1.txt" "$work/$name-2.txt")
  echo "== $label"
  printf '%s\n' "$report" | grep -v '^seconds ' | grep -v '^first run '
  awk -v o="$best" -v d="$theirs" -v name="$name" 'BEGIN {
    printf "tavrel %.4f s (load and compare, first of a process), diff %.4f s, ratio %.1f", o, d, (d > 0 ? o / d : 0)
    if (name == "1m") printf " (target: under 1 s)"
    printf "\n"
  }'
done
exit $status
