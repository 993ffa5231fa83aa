#!/usr/bin/env bash
# Starts Quenby.exe under Xvfb on help documents, waits for its window,
# saves a screenshot of the whole screen and closes the program:
#     bash scripts/quenby-screenshot.sh out.png [documents...]
# Without documents it shows the guide and the second document of
# samples/help. Builds where needed (x86_64 where 32-bit code cannot run);
# the program runs under a Wine prefix of its own beside the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="${1:?usage: quenby-screenshot.sh out.png [documents...]}"
shift
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
if [ $# -eq 0 ]; then
  set -- "$here/samples/help/Quenby_Guide.md" "$here/samples/help/Quenby_Second.md"
fi

arch=$(bash "$here/scripts/test-arch.sh")
build="$here/build-$arch"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 4 --target quenby_program >/dev/null

if ! command -v xwd >/dev/null || ! command -v xwininfo >/dev/null || ! command -v convert >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y --no-install-recommends x11-apps x11-utils imagemagick
fi

# A fresh program folder, so the shot starts from the default placement.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/Quenby.exe" "$work/"
documents=()
for document in "$@"; do
  case "$document" in /*) ;; *) document="$PWD/$document" ;; esac
  documents+=("Z:$(printf '%s' "$document" | tr '/' '\\')")
done

export WINEPREFIX="$build/wineprefix-shot"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  out="$1"; shift
  "$@" &
  pid=$!
  # The first run also sets the prefix up, which takes a while.
  up=0
  for _ in $(seq 1 1800); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"Quenby\""; then up=1; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  status=0
  if [ "$up" = 1 ]; then
    sleep 1.5
    xwd -root -silent | convert xwd:- "$out"
  else
    echo "the window did not come up" >&2
    status=1
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  exit $status
' _ "$out" "$here/scripts/wine-run.sh" "$work/Quenby.exe" "${documents[@]}"
echo "$out"
