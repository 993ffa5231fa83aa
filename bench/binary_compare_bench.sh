#!/usr/bin/env bash
# Binary compare beside `cmp -l` on the same files: two 1 MiB files that
# differ in 1 % of their bytes, loaded and compared through the binary kind
# under Wine. Prints both times and the ratio: the first compare of a fresh
# process (best of three processes) against cmp's best of three runs, and a
# second compare in the same process.
#
#   bash bench/binary_compare_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe binary_compare_bench

bench_work

python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
size = 1 << 20
rng = random.Random(1)
a = bytearray(rng.getrandbits(8) for _ in range(size))
b = bytearray(a)
for i in rng.sample(range(size), size // 100):
    b[i] = (b[i] + 1 + rng.randrange(255)) % 256
open(out + "/a.bin", "wb").write(a)
open(out + "/b.bin", "wb").write(b)
PY

# Three fresh processes of two runs each: the first run of a process is what
# a user's first compare costs (every page of memory touched for the first
# time), the second what a reload or the next pair costs.
cold=""; warm=""; report=""
for _ in 1 2 3; do
  out=$(run_program "$exe" "$(winpath "$work/a.bin")" "$(winpath "$work/b.bin")" 2)
  c=$(printf '%s\n' "$out" | awk '/^first run / { print $3 }')
  w=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
  report=$out
  [ -n "$c" ] && [ -n "$w" ] || { cold=""; break; }
  if [ -z "$cold" ] || awk -v a="$c" -v b="$cold" 'BEGIN { exit !(a < b) }'; then cold=$c; fi
  if [ -z "$warm" ] || awk -v a="$w" -v b="$warm" 'BEGIN { exit !(a < b) }'; then warm=$w; fi
done
if [ -z "$cold" ]; then
  echo "the binary compare did not run"
  printf '%s\n' "$report"
  exit 1
fi
theirs=$(best_time cmp -l "$work/a.bin" "$work/b.bin")
differences=$(cmp -l "$work/a.bin" "$work/b.bin" | wc -l || true)
echo "== 1 MiB against a copy with 1% of the bytes changed ($differences bytes differ)"
printf '%s\n' "$report" | grep -v '^seconds ' | grep -v '^first run '
awk -v o="$cold" -v w="$warm" -v c="$theirs" 'BEGIN {
  r = c > 0 ? o / c : 0
  printf "tavrel %.4f s (first load and compare of a process), cmp -l %.4f s, ratio %.2f (target: within 2x of cmp)\n", o, c, r
  printf "tavrel again in the same process %.4f s, ratio %.2f\n", w, (c > 0 ? w / c : 0)
}'
