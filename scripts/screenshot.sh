#!/usr/bin/env bash
# Starts Tavrel under Xvfb (1280x1024) on the given arguments (default: the
# two sample folders), waits for its window, writes a PNG of the screen and
# closes the program:
#     bash scripts/screenshot.sh out.png [Tavrel arguments...]
#     bash scripts/screenshot.sh folders.png    (the sample folders)
#     bash scripts/screenshot.sh text.png       (the sample text pair)
#     bash scripts/screenshot.sh side-menu.png  (the side menu open on side 2
#                                                of the sample text pair)
#     bash scripts/screenshot.sh float-drag.png (two lines of the text pair
#                                                dragged, "Float" label)
# Builds first (x86_64 where this machine cannot run 32-bit code). The
# program runs in a Wine prefix of its own beside the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="${1:?usage: screenshot.sh <out.png> [Tavrel arguments...]}"
shift
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

arch=$(bash "$here/scripts/test-arch.sh")
build="$here/build-$arch"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 4 --target tavrel_program >/dev/null
exe="$build/Tavrel.exe"

if ! command -v xwd >/dev/null || ! command -v xwininfo >/dev/null || ! command -v convert >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y --no-install-recommends x11-apps x11-utils imagemagick
fi

# Wine sees the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "$(cd "$1" && pwd)" | tr '/' '\\'; }
# Scenes by the picture's name when no arguments are given: "text.png"
# compares the two sample text files, anything else (e.g. "folders.png")
# the two sample folders.
if [ $# -eq 0 ]; then
  case "$(basename "$out")" in
    text.png|side-menu.png|float-drag.png)
      set -- "$(windows_path "$here/samples/text")\\left.txt" "$(windows_path "$here/samples/text")\\right.txt" ;;
    *)
      set -- "$(windows_path "$here/samples/left")" "$(windows_path "$here/samples/right")" ;;
  esac
fi

export WINEPREFIX="$build/wineprefix-shot"
scene=$(basename "$out" .png)
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  out="$1"; scene="$2"; shift 2
  "$@" &
  pid=$!
  status=1
  # The first run also sets the prefix up, which takes a while.
  for _ in $(seq 1 1800); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"Tavrel\""; then status=0; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ $status -eq 0 ]; then
    # Let the first paint of the compared pair finish.
    sleep 1.5
    # Scenes that need the mouse: window-relative points of the folder box
    # (rows begin about 108 pixels below the window top, 17 apart).
    if [ "$scene" = side-menu ] || [ "$scene" = float-drag ]; then
      win=$(xdotool search --name "^Tavrel$" | head -1)
      eval "$(xdotool getwindowgeometry --shell "$win")"
      row() { echo $((Y + 115 + 17 * $1)); }
      if [ "$scene" = side-menu ]; then
        xdotool mousemove $((X + WIDTH * 3 / 4)) "$(row 1)" click 3
      else
        # Two lines selected by their line numbers, then dragged with Ctrl.
        xdotool mousemove $((X + 14)) "$(row 2)" click 1
        xdotool keydown shift mousemove $((X + 14)) "$(row 3)" click 1 keyup shift
        xdotool keydown ctrl mousemove $((X + 120)) "$(row 2)" mousedown 1
        for step in 1 2 3 4 5 6; do
          xdotool mousemove $((X + 120 + 50 * step)) $(( $(row 2) + 12 * step ))
          sleep 0.1
        done
      fi
      sleep 1
    fi
    xwd -root -silent | convert xwd:- "$out"
  else
    echo "the window did not come up" >&2
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  exit $status
' _ "$out" "$scene" "$here/scripts/wine-run.sh" "$exe" "$@"
# A program ended from outside leaves its temporary folder behind.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/Tavrel_Temp* \
       "$WINEPREFIX"/drive_c/users/*/Temp/Tavrel_Temp* 2>/dev/null || true
echo "$out"
