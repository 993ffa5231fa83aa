#!/usr/bin/env bash
# The folder box's key steps, each with its repaint, in the main window under
# Xvfb, on pairs of three sizes of each kind:
#   text     10,000 / 100,000 / 1,000,000 lines whose last 10 lines differ
#   binary   640 KiB / 6.4 MiB / 64 MiB whose last 16 bytes differ
#   folders  1,000 / 10,000 / 100,000 entries, the last 10 of them changed
# Steps (per size): "MoveCursorDown" from the middle row, Page Down, a
# scroll-bar line step, "GotoNextDiffrentLine" from row 0 across the same
# rows, "SelectAll" with its repaint, and on text the edit steps: a typed
# character, "InsertNewLine", "Backspace" and "Undo" on the middle row.
# Targets: each step under 16 ms mean with none over 50 ms; "SelectAll" and
# the edit steps under 50 ms. The table prints, for
# each step, the mean at each size and how it grew from the smallest size
# (a step that only touches what is on screen stays near 1x).
#
#   bash bench/folder_box_keys_bench.sh [text|binary|folders ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe app_folder_box_keys_bench
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(text binary folders)

bench_work

make_text() {  # lines
  python3 - "$work" "$1" <<'PY'
import sys
root, n = sys.argv[1], int(sys.argv[2])
with open(root + "/left.txt", "w") as a, open(root + "/right.txt", "w") as b:
    for i in range(n):
        line = "line %07d of the pair\n" % i
        a.write(line)
        b.write(line if i < n - 10 else line.upper())
PY
}

make_binary() {  # bytes
  python3 - "$work" "$1" <<'PY'
import random, sys
root, n = sys.argv[1], int(sys.argv[2])
data = bytearray(random.Random(5).randbytes(n))
open(root + "/left.bin", "wb").write(data)
for i in range(n - 16, n):
    data[i] ^= 0xFF
open(root + "/right.bin", "wb").write(data)
PY
}

make_folders() {  # entries
  python3 - "$work" "$1" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
# One folder of n files a side: the folder view lists one level, so the
# entries are all rows of the box.
for side in ("left", "right"):
    base = os.path.join(root, side)
    os.makedirs(base, exist_ok=True)
    for i in range(n):
        with open(os.path.join(base, "f%06d.txt" % i), "w") as f:
            f.write("entry %d\n" % i if side == "left" or i < n - 10 else "changed %d\n" % i)
PY
}

# One run on the pair $work/left$suffix, $work/right$suffix: prints the
# bench's report lines prefixed by the size label.
measure() {  # label
  local report
  report=$(run_window "$exe" "$(wpath "$work/left$suffix")" "$(wpath "$work/right$suffix")" 2)
  if ! printf '%s\n' "$report" | grep -q '^select-all '; then
    echo "the benchmark did not run at $1" >&2
    printf '%s\n' "$report" >&2
    return 1
  fi
  printf '%s\n' "$report" | sed "s/^/$1 /"
}

status=0
for kind in "${kinds[@]}"; do
  case "$kind" in
    text) sizes=(10000 100000 1000000); labels=(10k 100k 1M); suffix=.txt ;;
    binary) sizes=(655360 6710784 67108864); labels=(640KiB 6.4MiB 64MiB); suffix=.bin ;;
    folders) sizes=(1000 10000 100000); labels=(1k 10k 100k); suffix= ;;
    *) echo "unknown kind $kind"; exit 2 ;;
  esac
  results=""
  for i in 0 1 2; do
    rm -rf "${work:?}/left$suffix" "${work:?}/right$suffix"
    "make_$kind" "${sizes[$i]}"
    out=$(measure "${labels[$i]}") || { status=1; continue; }
    results+="$out"$'\n'
  done
  echo "== $kind"
  printf '%s' "$results" | step_table rows
done
exit $status
