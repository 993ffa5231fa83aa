#!/usr/bin/env bash
# Starts Tavrel under Xvfb (1280x1024) on the given arguments (default: the
# two sample folders), waits for its window, writes a PNG of the screen and
# closes the program:
#     bash scripts/screenshot.sh out.png [Tavrel arguments...]
# Builds first (x86_64 where this machine cannot run 32-bit code). The
# program runs in a Wine prefix of its own beside the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="${1:?usage: screenshot.sh <out.png> [Tavrel arguments...]}"
shift
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

. "$here/scripts/shot-common.sh"
shot_build tavrel_program
exe="$build/Tavrel.exe"

shot_tools

# Wine sees the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "$(cd "$1" && pwd)" | tr '/' '\\'; }
if [ $# -eq 0 ]; then
  set -- "$(windows_path "$here/samples/left")" "$(windows_path "$here/samples/right")"
fi

export WINEPREFIX="$build/wineprefix-shot"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  . "$SHOT_COMMON"
  out="$1"; shift
  "$@" &
  pid=$!
  status=1
  if shot_wait "$pid" shot_window_up Tavrel; then
    status=0
    # Let the first paint of the compared pair finish.
    sleep 1.5
    xwd -root -silent | convert xwd:- "$out"
  else
    echo "the window did not come up" >&2
  fi
  shot_stop "$pid"
  exit $status
' _ "$out" "$here/scripts/wine-run.sh" "$exe" "$@"
# A program ended from outside leaves its temporary folder behind.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/Tavrel_Temp* \
       "$WINEPREFIX"/drive_c/users/*/Temp/Tavrel_Temp* 2>/dev/null || true
echo "$out"
