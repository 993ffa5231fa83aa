#!/usr/bin/env bash
# Search and replace in a text side beside grep and sed on the same files:
# a search that finds nothing in a 64 MiB file (the loading limit raised)
# beside "grep -c -F", and the replace loop over one word per line in 1 MiB
# and 4 MiB files beside "sed". Prints both times and the ratio. Targets:
# the search within 5x of grep; the time per replacement equal within 1.5x
# at both sizes (an edit costs its own rows, not the whole job); the 1 MiB
# file under 2 s.
#
#   bash bench/text_search_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe text_search_bench

bench_work
python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
rng = random.Random(5)
words = ("int value count index result buffer length return if else for while static const "
         "struct class void char left right top bottom width height first last next").split()
def make(name, size, marked):
    total, lines = 0, []
    while total < size:
        parts = [rng.choice(words) for _ in range(rng.randrange(3, 10))]
        if marked:
            parts.insert(rng.randrange(len(parts) + 1), "needle")
        s = " ".join(parts) + ";"
        lines.append(s)
        total += len(s) + 2
    with open(out + "/" + name, "w", newline="") as f:
        f.write("".join(s + "\r\n" for s in lines))
make("search64.txt", 64 << 20, False)
make("replace1.txt", 1 << 20, True)
make("replace4.txt", 4 << 20, True)
PY

run() { run_program "$exe" "$@"; }

status=0
out=$(run search "$(wpath "$work/search64.txt")" "haystack")
ours=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
if [ -z "$ours" ]; then echo "the search did not run"; printf '%s\n' "$out"; status=1; else
  theirs=$(best_time grep -c -F haystack "$work/search64.txt")
  echo "== search finding nothing, 64 MiB ($(printf '%s\n' "$out" | awk '/^lines / { print $2 }') lines)"
  awk -v o="$ours" -v t="$theirs" 'BEGIN { printf "tavrel %.4f s, grep -c -F %.4f s, ratio %.2f (target: within 5x)\n", o, t, (t > 0 ? o / t : 0) }'
fi

declare -A per
for size in 1 4; do
  out=$(run replace "$(wpath "$work/replace$size.txt")" "needle" "NEEDLE")
  ours=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
  found=$(printf '%s\n' "$out" | awk '/^found / { print $2 }')
  if [ -z "$ours" ]; then echo "the replace loop did not run"; printf '%s\n' "$out"; status=1; continue; fi
  theirs=$(best_time sed -e 's/needle/NEEDLE/' "$work/replace$size.txt")
  per[$size]=$(awk -v o="$ours" -v n="$found" 'BEGIN { printf "%.9f", (n > 0 ? o / n : 0) }')
  echo "== replace loop, one word a line, $size MiB ($found replacements)"
  awk -v o="$ours" -v t="$theirs" -v n="$found" -v size="$size" 'BEGIN {
    printf "tavrel %.4f s (%.2f us a replacement), sed %.4f s, ratio %.2f", o, o / n * 1e6, t, (t > 0 ? o / t : 0)
    if (size == 1) printf " (target: under 2 s)"
    printf "\n" }'
done
if [ -n "${per[1]:-}" ] && [ -n "${per[4]:-}" ]; then
  awk -v a="${per[1]}" -v b="${per[4]}" 'BEGIN { printf "time a replacement, 4 MiB against 1 MiB: %.2f (target: within 1.5)\n", (a > 0 ? b / a : 0) }'
fi
exit $status
