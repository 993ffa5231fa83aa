#!/usr/bin/env bash
# Shows the text rows of two sample files (changed characters, a selection,
# a tab, the line-end mark, the caret) in the row host under Xvfb and saves
# a screenshot, then binary rows (gaps, mismatches, a selection, the encoding
# texts in the title row, a row only side 2 has) and the rows of two sample
# folders (entry-kind icons, sizes, dates, one-sided rows) as folder-rows.png
# beside the first:
#     bash scripts/shot-rows.sh [text-rows.png] [binary-rows.png]
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

# The folder rows: a sub-folder pair, text and other files, one-sided entries.
folders="$work/folders"
mkdir -p "$folders/left/src" "$folders/right/src" "$folders/left/old" "$folders/right/new"
printf 'same\r\n' > "$folders/left/readme.txt"; cp -p "$folders/left/readme.txt" "$folders/right/readme.txt"
head -c 123456 /dev/zero > "$folders/left/data.bin"; head -c 654321 /dev/zero > "$folders/right/data.bin"
printf 'left only\r\n' > "$folders/left/notes.txt"
head -c 2048 /dev/zero > "$folders/right/image.png"
touch -d '2024-03-01 09:30' "$folders/left/data.bin" "$folders/left/notes.txt"
bash "$here/scripts/window-shot.sh" rows_shot 800x300 "$(dirname "$out")/folder-rows.png" \
  "$(windows "$folders/left")" "$(windows "$folders/right")"
