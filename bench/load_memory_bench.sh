#!/usr/bin/env bash
# Memory per byte of input of a load and compare, beside GNU diff (text) and
# cmp -l (binary) on the same files: text of source-code lines with no line
# in common and with 1% of the lines changed, and binary files with no byte
# in common. Ours is the growth of committed memory over the load and
# compare; the peer's is its largest resident size. Prints both, the times,
# and the ratios. These figures give the memory costs in config_store.h.
#
#   bash bench/load_memory_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe load_memory_bench

bench_work

python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
words = ("int value count index result buffer length return if else for while "
         "static const struct class void char size_t break continue case switch "
         "left right top bottom width height first last next prev node list item").split()
def make(seed, size):
    rng = random.Random(seed)
    lines, total = [], 0
    while total < size:
        s = " " * (4 * rng.randrange(0, 4)) + " ".join(rng.choice(words) for _ in range(rng.randrange(3, 11)))
        lines.append(s)
        total += len(s) + 2
    return lines
def write(name, lines):
    with open(out + "/" + name, "w", newline="") as f:
        f.write("".join(s + "\r\n" for s in lines))
base = make(1, 8 << 20)
write("base.txt", base)
rng = random.Random(2)
changed = list(base)
for i in rng.sample(range(len(base)), len(base) // 100):
    changed[i] += " // " + rng.choice(words)
write("changed.txt", changed)
write("other.txt", [s + " /* other */" for s in make(3, 8 << 20)])
rng = random.Random(4)
a = bytes(rng.getrandbits(8) for _ in range(4 << 20))
open(out + "/a.bin", "wb").write(a)
open(out + "/b.bin", "wb").write(bytes(x ^ (1 + rng.randrange(255)) for x in a))
PY

status=0
for run in "text:base.txt:changed.txt:1% of the lines changed:diff" \
           "text:base.txt:other.txt:no line in common:diff" \
           "binary:a.bin:b.bin:no byte in common:cmp -l"; do
  IFS=: read -r kind one two label peer <<<"$run"
  out=$(run_program "$exe" "$kind" "$(wpath "$work/$one")" "$(wpath "$work/$two")") || true
  ours=$(printf '%s\n' "$out" | awk '/^bytes per input byte/ { print $8 }')
  time=$(printf '%s\n' "$out" | awk '/^seconds / { print $2 }')
  if [ -z "$ours" ] || [ -z "$time" ]; then echo "$kind, $label: the load did not run"; status=1; continue; fi
  input=$(( $(stat -c %s "$work/$one") + $(stat -c %s "$work/$two") ))
  # shellcheck disable=SC2086
  /usr/bin/time -o "$work/time" -f '%e %M' $peer "$work/$one" "$work/$two" >/dev/null 2>&1 || true
  theirs=$(tail -1 "$work/time")
  echo "== $kind, $label ($input bytes of input)"
  awk -v o="$ours" -v t="$time" -v p="$theirs" -v n="$input" -v name="$peer" 'BEGIN {
    split(p, f, " "); pb = f[2] * 1024 / n
    printf "tavrel %.2f bytes a byte, %s %.2f, ratio %.2f\n", o, name, pb, (pb > 0 ? o / pb : 0)
    printf "tavrel %.4f s, %s %.4f s, ratio %.2f\n", t, name, f[1], (f[1] > 0 ? t / f[1] : 0)
  }'
done
exit $status
