#!/usr/bin/env bash
# Starts Tavrel under Xvfb (1280x1024) on the given arguments (default: the
# two sample folders), waits for its window, writes a PNG of the screen and
# closes the program:
#     bash scripts/screenshot.sh out.png [Tavrel arguments...]
#     bash scripts/screenshot.sh folders.png    (the sample folders)
#     bash scripts/screenshot.sh text.png       (the sample text pair)
#     bash scripts/screenshot.sh pairs-tabs.png (a pair file of four pairs
#         opened with -g; then Ctrl+H opens the search-and-replace input
#         dialog with its option row, written as input-dialog.png beside it)
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

if ! command -v xwd >/dev/null || ! command -v xwininfo >/dev/null || ! command -v convert >/dev/null ||
   ! command -v xdotool >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y --no-install-recommends x11-apps x11-utils imagemagick xdotool
fi

# Wine sees the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "$(cd "$1" && pwd)" | tr '/' '\\'; }
# Scenes by the picture's name when no arguments are given: "text.png"
# compares the two sample text files, anything else (e.g. "folders.png")
# the two sample folders.
second=""
if [ $# -eq 0 ]; then
  case "$(basename "$out")" in
    pairs-tabs.png)
      left=$(windows_path "$here/samples/left"); right=$(windows_path "$here/samples/right")
      text=$(windows_path "$here/samples/text")
      pairs="$(dirname "$out")/pairs-scene.txt"
      printf '@Group@%s,%s,<Opt>\r\n@Group@%s,%s,<Opt>,Different,Only1,Only2\r\n@Group@%s,%s,<Opt>,Edit1\r\n@Group@%s,%s,<Opt>\r\n' \
        "$left" "$right" "$left\\sub" "$right\\sub" "$text\\left.txt" "$text\\right.txt" \
        "$left\\data.bin" "$right\\data.bin" > "$pairs"
      second="$(dirname "$out")/input-dialog.png"
      set -- -g "$(windows_path "$(dirname "$pairs")")\\$(basename "$pairs")" ;;
    text.png)
      set -- "$(windows_path "$here/samples/text")\\left.txt" "$(windows_path "$here/samples/text")\\right.txt" ;;
    *)
      set -- "$(windows_path "$here/samples/left")" "$(windows_path "$here/samples/right")" ;;
  esac
fi

export WINEPREFIX="$build/wineprefix-shot"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  out="$1"; second="$2"; shift 2
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
    xwd -root -silent | convert xwd:- "$out"
    if [ -n "$second" ]; then
      # The search-and-replace input dialog by its key, in the folder box.
      xdotool search --name "^Tavrel$" windowactivate --sync 2>/dev/null || true
      xdotool key ctrl+h
      sleep 1.5
      xwd -root -silent | convert xwd:- "$second"
    fi
  else
    echo "the window did not come up" >&2
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  exit $status
' _ "$out" "$second" "$here/scripts/wine-run.sh" "$exe" "$@"
[ -n "$second" ] && echo "$second"
# A program ended from outside leaves its temporary folder behind.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/Tavrel_Temp* \
       "$WINEPREFIX"/drive_c/users/*/Temp/Tavrel_Temp* 2>/dev/null || true
echo "$out"
