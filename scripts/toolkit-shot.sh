#!/usr/bin/env bash
# Shows one page of the toolkit gallery under Xvfb and saves a screenshot:
#     bash scripts/toolkit-shot.sh <page> out.png
# Builds the gallery first. The page runs under a Wine prefix of its own, so
# its server can be stopped afterwards without touching a test run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
page="${1:?usage: toolkit-shot.sh <page> out.png}"
out="${2:?usage: toolkit-shot.sh <page> out.png}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

if ! command -v xwd >/dev/null || ! command -v xwininfo >/dev/null || ! command -v convert >/dev/null; then
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y --no-install-recommends x11-apps x11-utils imagemagick
fi

arch=$(bash "$here/scripts/test-arch.sh")
build="$here/build-$arch"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 4 --target toolkit_gallery >/dev/null
exe="$build/tests/toolkit_gallery.exe"

export WINEPREFIX="$build/wineprefix-shot"
ready="$build/toolkit-shot.ready"
rm -f "$ready"
# Wine sees the Unix root as drive Z:.
ready_windows="Z:$(printf '%s' "$ready" | tr '/' '\\')"

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" "$2" "$3" "$4" &
  pid=$!
  # The first run also sets the prefix up, which takes a while.
  for _ in $(seq 1 1800); do
    [ -f "$5" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  status=0
  if [ -f "$5" ]; then
    sleep 0.3
    xwd -root -silent | convert xwd:- "$6"
    # A picture of the root misses popup menus (override-redirect windows
    # keep their pixels to themselves under Xvfb): paste each one that is
    # shown at its place, bottom to top (xwininfo lists the top first).
    for id in $(xwininfo -root -children | awk "/^ +0x/ {print \$1}" | tac); do
      info=$(xwininfo -all -id "$id" 2>/dev/null) || continue
      printf "%s" "$info" | grep -q "Map State: IsViewable" || continue
      printf "%s" "$info" | grep -q "Override Redirect State: yes" || continue
      x=$(printf "%s" "$info" | awk "/Absolute upper-left X/ {print \$4}")
      y=$(printf "%s" "$info" | awk "/Absolute upper-left Y/ {print \$4}")
      xwd -id "$id" -silent | convert "$6" xwd:- -geometry "+$x+$y" -composite "$6"
    done
  else
    echo "the gallery page \"$3\" did not come up" >&2
    status=1
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  exit $status
' _ "$here/scripts/wine-run.sh" "$exe" "$page" "$ready_windows" "$ready" "$out"
rm -f "$ready"
echo "$out"
