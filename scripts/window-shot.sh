#!/usr/bin/env bash
# Builds a program of the tests that shows a window (for the architecture
# this machine runs: x86_64 where 32-bit code cannot run), runs it under
# Xvfb, waits until it writes its ready file (passed as the program's last
# argument, as a Windows path) and saves a screenshot of the whole screen:
#     bash scripts/window-shot.sh <target> <WxH> <out.png> [program arguments...]
# The program runs under a Wine prefix of its own beside the build folder,
# so its server can be stopped afterwards without touching a test run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
target="${1:?usage: window-shot.sh <target> <WxH> <out.png> [arguments...]}"
screen="${2:?}"
out="${3:?}"
shift 3
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

. "$here/scripts/shot-common.sh"
shot_build "$target"
exe="$build/tests/$target.exe"

shot_tools

export WINEPREFIX="$build/wineprefix-shot"
ready="$build/$target.ready"
rm -f "$ready"
# Wine sees the Unix root as drive Z:.
ready_windows="Z:$(printf '%s' "$ready" | tr '/' '\\')"

xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
  . "$SHOT_COMMON"
  ready="$1"; out="$2"; shift 2
  "$@" &
  pid=$!
  shot_wait "$pid" test -f "$ready" || true
  status=0
  if [ -f "$ready" ]; then
    sleep 0.3
    xwd -root -silent | convert xwd:- "$out"
    # A picture of the root misses popup menus (override-redirect windows
    # keep their pixels to themselves under Xvfb): paste each one that is
    # shown at its place, bottom to top (xwininfo lists the top first).
    for id in $(xwininfo -root -children | awk "/^ +0x/ {print \$1}" | tac); do
      info=$(xwininfo -all -id "$id" 2>/dev/null) || continue
      printf "%s" "$info" | grep -q "Map State: IsViewable" || continue
      printf "%s" "$info" | grep -q "Override Redirect State: yes" || continue
      x=$(printf "%s" "$info" | awk "/Absolute upper-left X/ {print \$4}")
      y=$(printf "%s" "$info" | awk "/Absolute upper-left Y/ {print \$4}")
      xwd -id "$id" -silent | convert "$out" xwd:- -geometry "+$x+$y" -composite "$out"
    done
  else
    echo "the window did not come up" >&2
    status=1
  fi
  shot_stop "$pid"
  exit $status
' _ "$ready" "$out" "$here/scripts/wine-run.sh" "$exe" "$@" "$ready_windows"
rm -f "$ready"
echo "$out"
