#!/usr/bin/env bash
# Reading a 64 MiB UTF-8 file line by line with RawLineFile beside `wc -l` on
# the same file. Prints both times and the ratio.
#
#   bash bench/line_file_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe line_file_bench

bench_work
file="$work/lines.txt"

# 64 MiB of lines of 0 to 120 bytes, mostly ASCII with some multibyte
# characters, ended by CR LF (every 7th by LF).
python3 - "$file" <<'PY'
import random, sys
rng = random.Random(7)
words = ["alpha", "beta", "gamma", "delta", "caf\u00e9", "\u65e5\u672c\u8a9e", "x", "line",
         "value=12", "\u00fcber", "path\\to\\file", "", "text", "\u3042\u3044"]
size = 64 << 20
out = bytearray()
n = 0
while len(out) < size:
    s = " ".join(rng.choice(words) for _ in range(rng.randrange(0, 16)))
    out += s.encode("utf-8")[:120]
    n += 1
    out += b"\n" if n % 7 == 0 else b"\r\n"
del out[size:]
out += b"\n"
with open(sys.argv[1], "wb") as f:
    f.write(out)
PY

# Best wall time of three runs of wc -l.
best=""
for _ in 1 2 3; do
  t0=$(date +%s%N)
  count=$(wc -l < "$file")
  t1=$(date +%s%N)
  t=$(( t1 - t0 ))
  if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
done
wc_seconds=$(awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }')

winfile=$(winepath -w "$file" 2>/dev/null || echo "$file")
report=$(run_program "$exe" "$winfile" 3)
ours=$(printf '%s\n' "$report" | awk '/^seconds / { print $2 }')
if [ -z "$ours" ]; then
  echo "the line reader did not run"
  printf '%s\n' "$report"
  exit 1
fi
printf '%s\n' "$report" | grep -v '^seconds '
echo "wc -l lines $count"
awk -v o="$ours" -v w="$wc_seconds" 'BEGIN {
  r = w > 0 ? o / w : 0
  printf "RawLineFile %.4f s, wc -l %.4f s, ratio %.2f\n", o, w, r
}'
