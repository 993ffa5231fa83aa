#!/usr/bin/env bash
# Painting one screen of text rows (60 rows, both sides) beside the floor of
# drawing the same cells directly with one DrawTextExW each: a compare of
# two 100,000-line files (1 % of the lines changed) and of two files whose
# one line is 1 MiB. Frames: the first, a jump to the middle, 1,000 scrolls
# by one row. Targets: every frame under 16 ms; the first frame of the
# 1 MiB line under 200 ms. Also a folder job of 100,000 entries a side
# (icons, sizes, dates, one-sided rows): every frame under 16 ms.
#
#   bash bench/text_rows_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
#
# Binary rows too: a 64 MiB side against a copy with a byte changed in
# every 4 KiB (the loading limit raised), drawn in a fixed-pitch font;
# every frame under 16 ms, the first included.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe text_rows_bench

bench_work
python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
rng = random.Random(3)
words = ("int value count index result buffer length return if else for while static const "
         "struct class void char left right top bottom width height first last next").split()
def line():
    return "\t" * rng.randrange(0, 3) + " ".join(rng.choice(words) for _ in range(rng.randrange(3, 12))) + ";"
lines = [line() for _ in range(100000)]
changed = list(lines)
for i in rng.sample(range(len(lines)), 1000):
    changed[i] = changed[i].replace(" ", "_", 1) + " // x"
def write(name, rows):
    with open(out + "/" + name, "w", newline="") as f:
        f.write("".join(r + "\r\n" for r in rows))
write("rows1.txt", lines)
write("rows2.txt", changed)
long1 = "".join(rng.choice("abcdefghij ") for _ in range(1 << 20))
long2 = long1[:500000] + "XYZ" + long1[500003:]
write("long1.txt", [long1])
write("long2.txt", [long2])
PY

status=0
for pair in "rows1.txt:rows2.txt:100,000-line compare:0.016" "long1.txt:long2.txt:one line of 1 MiB:0.2"; do
  one=${pair%%:*}; rest=${pair#*:}; two=${rest%%:*}; rest=${rest#*:}; label=${rest%%:*}; firstLimit=${rest##*:}
  out=$(run_window "$exe" \
        "$(wpath "$work/$one")" "$(wpath "$work/$two")") || true
  if ! printf '%s\n' "$out" | grep -q '^first '; then echo "$label: the bench did not run"; printf '%s\n' "$out"; status=1; continue; fi
  echo "== $label ($(printf '%s\n' "$out" | awk '/^rows / { print $2 }') rows)"
  printf '%s\n' "$out" | awk -v limit="$firstLimit" '
    /^(first|jump|scrollmax|scrollmean) / {
      name = $1 == "first" ? "first frame" : $1 == "jump" ? "jump to the middle" : $1 == "scrollmax" ? "slowest of 1,000 scrolls" : "mean of 1,000 scrolls"
      target = $1 == "first" ? limit : 0.016
      printf "%-26s tavrel %7.2f ms, floor (DrawTextExW) %7.2f ms, ratio %5.2f (target under %g ms)\n", name, $2 * 1000, $3 * 1000, ($3 > 0 ? $2 / $3 : 0), target * 1000
    }'
done
# Binary rows: 64 MiB against a copy with scattered changes.
python3 - "$work" <<'PY'
import random, sys
out = sys.argv[1]
rng = random.Random(7)
size = 64 << 20
block = bytes(rng.getrandbits(8) for _ in range(1 << 20))
a = bytearray(block * 64)
open(out + "/big1.bin", "wb").write(a)
for i in range(0, size, 4096):
    a[i + rng.randrange(4096)] ^= 0x5A
open(out + "/big2.bin", "wb").write(a)
PY
out=$(run_window "$exe" --binary \
      "$(wpath "$work/big1.bin")" "$(wpath "$work/big2.bin")") || true
if ! printf '%s\n' "$out" | grep -q '^first '; then
  echo "64 MiB binary: the bench did not run"; printf '%s\n' "$out"; status=1
else
  echo "== 64 MiB binary compare ($(printf '%s\n' "$out" | awk '/^rows / { print $2 }') rows)"
  printf '%s\n' "$out" | awk '
    /^(first|jump|scrollmax|scrollmean) / {
      name = $1 == "first" ? "first frame" : $1 == "jump" ? "jump to the middle" : $1 == "scrollmax" ? "slowest of 1,000 scrolls" : "mean of 1,000 scrolls"
      printf "%-26s tavrel %7.2f ms, floor (DrawTextExW) %7.2f ms, ratio %5.2f (target under 16 ms)\n", name, $2 * 1000, $3 * 1000, ($3 > 0 ? $2 / $3 : 0)
    }'
fi
rm -f "$work/big1.bin" "$work/big2.bin"
# The folder frames: two folders of 100,000 files, 1 % of them on one side
# only and 1 % of other sizes.
folder_frames() {
  python3 - "$work" <<'PY'
import os, random, sys
out = sys.argv[1]
rng = random.Random(5)
for side in ("dir1", "dir2"):
    os.makedirs(os.path.join(out, side), exist_ok=True)
names = ["entry%06d.%s" % (i, rng.choice(("txt", "bin", "dat"))) for i in range(100000)]
only = set(rng.sample(range(len(names)), 2000))
other = set(rng.sample(range(len(names)), 1000))
for i, name in enumerate(names):
    sides = ("dir1",) if i in only and i % 2 == 0 else ("dir2",) if i in only else ("dir1", "dir2")
    for side in sides:
        size = (i * 37) % 5000 + (7 if side == "dir2" and i in other else 0)
        with open(os.path.join(out, side, name), "wb") as f:
            f.write(b"x" * size)
        os.utime(os.path.join(out, side, name), (1600000000 + i, 1600000000 + i))
PY
  local out
  out=$(run_window "$exe" --folder \
        "$(wpath "$work/dir1")" "$(wpath "$work/dir2")") || true
  if ! printf '%s\n' "$out" | grep -q '^first '; then echo "folder job: the bench did not run"; printf '%s\n' "$out"; return 1; fi
  echo "== folder job of 100,000 entries a side ($(printf '%s\n' "$out" | awk '/^rows / { print $2 }') rows)"
  printf '%s\n' "$out" | awk '
    /^(first|jump|scrollmax|scrollmean) / {
      name = $1 == "first" ? "first frame" : $1 == "jump" ? "jump to the middle" : $1 == "scrollmax" ? "slowest of 1,000 scrolls" : "mean of 1,000 scrolls"
      printf "%-26s tavrel %7.2f ms, floor (DrawTextExW) %7.2f ms, ratio %5.2f (target under 16 ms)\n", name, $2 * 1000, $3 * 1000, ($3 > 0 ? $2 / $3 : 0)
    }'
}
folder_frames || status=1
exit $status
