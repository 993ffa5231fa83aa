#!/usr/bin/env bash
# Shows the text rows of two sample files (changed characters, a selection,
# a tab, the line-end mark, the caret) in the row host under Xvfb and saves
# a screenshot:
#     bash scripts/shot-rows.sh [text-rows.png]
# Builds the program first, for the architecture this machine runs (x86_64
# where 32-bit code cannot run). It runs under a Wine prefix of its own, so
# its server can be stopped afterwards without touching a test run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-text-rows.png}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

if ! command -v xwd >/dev/null || ! command -v convert >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y --no-install-recommends x11-apps imagemagick
fi

arch=$(bash "$here/scripts/test-arch.sh")
build="$here/build-$arch"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 4 --target rows_shot >/dev/null
exe="$build/tests/rows_shot.exe"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'int main(void)\r\n{\r\n\treturn count + 1;\r\n}\r\nkept line\r\nonly here\r\n' > "$work/left.txt"
printf 'int main(void)\r\n{\r\n\treturn total + 2;\r\n}\r\nkept line\r\nnew one\r\nand another\r\n' > "$work/right.txt"

export WINEPREFIX="$build/wineprefix-shot"
ready="$build/rows-shot.ready"
rm -f "$ready"
# Wine sees the Unix root as drive Z:.
windows() { printf 'Z:%s' "$1" | tr '/' '\\'; }

xvfb-run -a -s "-screen 0 800x300x24" bash -c '
  "$1" "$2" "$3" "$4" "$5" &
  pid=$!
  # The first run also sets the prefix up, which takes a while.
  for _ in $(seq 1 1800); do
    [ -f "$6" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  status=0
  if [ -f "$6" ]; then
    sleep 0.3
    xwd -root -silent | convert xwd:- "$7"
  else
    echo "the row host did not come up" >&2
    status=1
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  exit $status
' _ "$here/scripts/wine-run.sh" "$exe" "$(windows "$work/left.txt")" "$(windows "$work/right.txt")" \
  "$(windows "$ready")" "$ready" "$out"
rm -f "$ready"
echo "$out"
