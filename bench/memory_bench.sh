#!/usr/bin/env bash
# Memory per byte of input of one compare in a fresh process (the growth of
# the working set around loading and comparing two files), for the cases
# below, beside the figure the compare had on these same inputs before its
# rows and units were made compact (x86_64 build) and the most it may cost:
#   binary 2 x 1 MiB, 1 % of the bytes changed
#   binary 2 x 1 MiB, identical
#   binary 2 x 1 MiB, unrelated bytes (every row changed)
#   text 2 x 4 MiB of lines of about 32 bytes, 1 % of the lines changed
#   text 2 x 4 MiB of lines of about 5 bytes, 1 % of the lines changed
# The committed bytes and the peak of the working set are printed too.
#
#   bash bench/memory_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe memory_bench

bench_work

python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
def put(name, data):
    open(out + "/" + name, "wb").write(data)
size = 1 << 20
rng = random.Random(1)
a = bytearray(rng.getrandbits(8) for _ in range(size))
b = bytearray(a)
for i in rng.sample(range(size), size // 100):
    b[i] = (b[i] + 1 + rng.randrange(255)) % 256
# Unrelated bytes: nearly every byte differs, so every row is changed and
# its hex column alternates between changed bytes and the gaps between them.
every = bytearray(rng.getrandbits(8) for _ in range(size))
put("a.bin", a); put("b.bin", b); put("same.bin", a); put("every.bin", every)

words = ("int value count index result buffer length return if else for while "
         "static const struct class void char left right node list item").split()
def text(seed, size, mean):
    r = random.Random(seed)
    lines, total = [], 0
    while total < size:
        s = ""
        want = r.randrange(1, 2 * mean)
        while len(s) < want:
            s += r.choice(words) + " "
        s = s[:want]
        lines.append(s)
        total += len(s) + 2
    return lines
def change(lines, seed):
    r = random.Random(seed)
    result = list(lines)
    for i in r.sample(range(len(lines)), len(lines) // 100):
        result[i] = result[i] + "!"
    return result
def write(name, lines):
    put(name, "".join(s + "\r\n" for s in lines).encode())
long = text(2, 4 << 20, 32)
write("long1.txt", long); write("long2.txt", change(long, 3))
short = text(4, 4 << 20, 5)
write("short1.txt", short); write("short2.txt", change(short, 5))
PY

status=0
# kind:file1:file2:label:before:target
for case in "binary:a.bin:b.bin:binary 2 x 1 MiB, 1% of the bytes changed:15.3:6" \
            "binary:a.bin:same.bin:binary 2 x 1 MiB, identical:12.1:6" \
            "binary:a.bin:every.bin:binary 2 x 1 MiB, every row changed:97.2:16" \
            "text:long1.txt:long2.txt:text 2 x 4 MiB, lines of ~32 bytes, 1% changed:6.9:6" \
            "text:short1.txt:short2.txt:text 2 x 4 MiB, lines of ~5 bytes, 1% changed:29.6:16"; do
  IFS=: read -r kind one two label before target <<< "$case"
  report=$(run_program "$exe" "$kind" "$(winpath "$work/$one")" "$(winpath "$work/$two")" || true)
  line=$(printf '%s\n' "$report" | awk '/^per-byte / { print $2, $3, $4 }')
  echo "== $label"
  if [ -z "$line" ]; then
    echo "the compare did not run"
    printf '%s\n' "$report"
    status=1
    continue
  fi
  printf '%s\n' "$report" | grep -v '^per-byte '
  read -r ws commit peak <<< "$line"
  awk -v ws="$ws" -v c="$commit" -v p="$peak" -v b="$before" -v t="$target" 'BEGIN {
    printf "tavrel %.2f B per input byte (working set; committed %.2f, peak %.2f), before %s B, ratio to before %.2f (target: at most %s B)\n", ws, c, p, b, ws / b, t
  }'
done
exit $status
