#!/usr/bin/env bash
# Edits over many lines of a text side through the edit commands, on a
# 1,000,000-byte file of 250,000 lines against the same lines with one new
# line after every third: select all and delete, its undo, deleting the
# first half and its undo, copying 80,000 differing rows into the side and
# its undo, deleting the line of every row and its undo. Target: each under
# 100 ms.
#
#   bash bench/text_edit_bench.sh
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe text_edit_bench

bench_work
python3 - "$work" <<'PY'
import sys
alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"
lines = [alphabet[i >> 12] + alphabet[(i >> 6) & 63] + alphabet[i & 63] for i in range(250000)]
open(sys.argv[1] + "/side.txt", "wb").write("".join(l + "\n" for l in lines).encode())
other = []
for i, l in enumerate(lines):
    other.append(l)
    if i % 3 == 2:
        other.append("#" + l)
open(sys.argv[1] + "/other.txt", "wb").write("".join(l + "\n" for l in other).encode())
PY

out=$(run_program "$exe" "$(winpath "$work/side.txt")" "$(winpath "$work/other.txt")") || true
if ! printf '%s\n' "$out" | grep -q '^undolines '; then echo "the bench did not run"; printf '%s\n' "$out"; exit 1; fi
echo "== 1,000,000 bytes, $(printf '%s\n' "$out" | awk '/^lines / { print $2; exit }') lines; $(printf '%s\n' "$out" | awk '/^rows / { print $2 }') differing rows"
printf '%s\n' "$out" | awk '
  /^(deleteall|undoall|deletehalf|undohalf|copyrows|undocopy|deletelines|undolines) / {
    names["deleteall"] = "select all, delete"; names["undoall"] = "its undo"
    names["deletehalf"] = "delete the first half"; names["undohalf"] = "its undo"
    names["copyrows"] = "copy 80,000 rows"; names["undocopy"] = "its undo"
    names["deletelines"] = "delete every row'"'"'s line"; names["undolines"] = "its undo"
    printf "%-26s %9.2f ms (target under 100 ms)\n", names[$1], $2 * 1000
  }'
