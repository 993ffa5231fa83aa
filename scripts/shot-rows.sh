#!/usr/bin/env bash
# Shows the text rows of two sample files (changed characters, a selection,
# a tab, the line-end mark, the caret) in the row host under Xvfb and saves
# a screenshot:
#     bash scripts/shot-rows.sh [text-rows.png]
# (scripts/window-shot.sh builds the program and takes the picture).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-text-rows.png}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'int main(void)\r\n{\r\n\treturn count + 1;\r\n}\r\nkept line\r\nonly here\r\n' > "$work/left.txt"
printf 'int main(void)\r\n{\r\n\treturn total + 2;\r\n}\r\nkept line\r\nnew one\r\nand another\r\n' > "$work/right.txt"
windows() { printf 'Z:%s' "$1" | tr '/' '\\'; }
bash "$here/scripts/window-shot.sh" rows_shot 800x300 "$out" "$(windows "$work/left.txt")" "$(windows "$work/right.txt")"
