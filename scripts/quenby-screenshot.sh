#!/usr/bin/env bash
# Starts Quenby.exe under Xvfb on help documents, waits for its window,
# saves a screenshot of the whole screen and closes the program:
#     bash scripts/quenby-screenshot.sh out.png [documents...]
#     bash scripts/quenby-screenshot.sh --scenes out-folder
# Without documents it shows the guide and the second document of
# samples/help. "--scenes" saves three shots of the guide: quenby-guide.png
# (line view), quenby-page.png (page view with its bands) and
# quenby-zoom.png (after two Ctrl+wheel steps over the view). Builds where needed (x86_64 where 32-bit code cannot run);
# the program runs under a Wine prefix of its own beside the build folder.
# "--scenes" then shows the guide once more and lets the scene driver of the
# tests write quenby-toc-tip.png (the table of contents with a tip),
# quenby-title-menu.png (the system menu open) and quenby-search.png (the
# search prompt) into the folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--scenes" ]; then
  folder="${2:?usage: quenby-screenshot.sh --scenes <folder>}"
  mkdir -p "$folder"
  folder=$(cd "$folder" && pwd)
  guide="$here/samples/help/Quenby_Guide.md"
  bash "$0" "$folder/quenby-guide.png" "$guide"
  QUENBY_SHOT_SWITCHES="-p" bash "$0" "$folder/quenby-page.png" "$guide"
  QUENBY_SHOT_ACTION=zoom bash "$0" "$folder/quenby-zoom.png" "$guide"
  # The driven scenes.
  arch=$(bash "$here/scripts/test-arch.sh")
  build="$here/build-$arch"
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j 4 --target quenby_program quenby_scenes >/dev/null
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp "$build/Quenby.exe" "$work/"
  document="Z:$(printf '%s' "$guide" | tr '/' '\\')"
  export WINEPREFIX="$build/wineprefix-shot"
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    run="$1"; viewer="$2"; document="$3"; driver="$4"; folder="$5"
    bash "$run" "$viewer" "$document" &
    pid=$!
    status=0
    bash "$run" "$driver" "Z:$(printf "%s" "$folder" | tr "/" "\\\\")" || status=$?
    sleep 1
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    exit $status
  ' _ "$here/scripts/wine-run.sh" "$work/Quenby.exe" "$document" "$build/tests/quenby_scenes.exe" "$folder"
  ls "$folder"/quenby-*.png
  exit 0
fi
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

if ! command -v xwd >/dev/null || ! command -v xwininfo >/dev/null || ! command -v convert >/dev/null ||
   { [ "${QUENBY_SHOT_ACTION:-}" = zoom ] && ! command -v xdotool >/dev/null; }; then
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y --no-install-recommends x11-apps x11-utils imagemagick xdotool
fi

# A fresh program folder, so the shot starts from the default placement.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/Quenby.exe" "$work/"
documents=()
if [ -n "${QUENBY_SHOT_SWITCHES:-}" ]; then documents+=($QUENBY_SHOT_SWITCHES); fi
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
    if [ "${QUENBY_SHOT_ACTION:-}" = zoom ]; then
      # Two wheel steps away from the user with Ctrl held, over the page view.
      id=$(xdotool search --name "^Quenby$" | head -n 1)
      eval "$(xdotool getwindowgeometry --shell "$id")"
      xdotool mousemove $((X + WIDTH * 2 / 3)) $((Y + HEIGHT / 2))
      xdotool keydown ctrl click 4 sleep 0.3 click 4 sleep 0.3 keyup ctrl
      sleep 1
    fi
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
