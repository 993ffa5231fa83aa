#!/usr/bin/env bash
# Shows the text rows of two sample files (changed characters, a selection,
# a tab, the line-end mark, the caret) in the row host under Xvfb and saves
# a screenshot:
#     bash scripts/shot-rows.sh [text-rows.png] [binary-rows.png]
# The second picture shows binary rows (gaps, mismatches, a selection, the
# encoding texts in the title row, a row only side 2 has).
# (scripts/window-shot.sh builds the program and takes the picture).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-text-rows.png}"
binary_out="${2:-binary-rows.png}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'int main(void)\r\n{\r\n\treturn count + 1;\r\n}\r\nkept line\r\nonly here\r\n' > "$work/left.txt"
printf 'int main(void)\r\n{\r\n\treturn total + 2;\r\n}\r\nkept line\r\nnew one\r\nand another\r\n' > "$work/right.txt"
windows() { printf 'Z:%s' "$1" | tr '/' '\\'; }
bash "$here/scripts/window-shot.sh" rows_shot 800x300 "$out" "$(windows "$work/left.txt")" "$(windows "$work/right.txt")"

# Binary rows: 40 bytes against 56 with a few bytes changed.
python3 - "$work" <<'PY'
import sys
out = sys.argv[1]
a = bytes(range(0x20, 0x48))
b = bytearray(a + bytes(range(0xF0, 0x100)) + b"\x00\x01\x7f\x80")[:56]
for i in (5, 21, 22):
    b[i] ^= 0x11
open(out + "/left.bin", "wb").write(a)
open(out + "/right.bin", "wb").write(bytes(b))
PY
bash "$here/scripts/window-shot.sh" rows_shot 1200x300 "$binary_out" --binary "$(windows "$work/left.bin")" "$(windows "$work/right.bin")"
