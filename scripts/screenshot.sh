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

# The scene "backup", by name instead of a PNG:
#     bash scripts/screenshot.sh backup [folder]
# makes backups in several states, then writes backup-list.png,
# backup-items.png, restore-message.png and title-menu.png (the system menu
# open) into the folder (default: the current one).
backup_scene() {
  local folder="${1:-$PWD}" arch build work
  mkdir -p "$folder"; folder=$(cd "$folder" && pwd)
  arch=$(bash "$here/scripts/test-arch.sh")
  build="$here/build-$arch"
  [ -f "$build/CMakeCache.txt" ] || bash "$here/scripts/build.sh" "$arch" >/dev/null
  cmake --build "$build" -j 4 --target tavrel_program app_backup_dialog_bench >/dev/null
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  mkdir -p "$work/prog" "$work/data" "$work/docs"
  cp "$build/Tavrel.exe" "$work/prog/"
  for doc in Guide.txt Keys.txt; do printf 'A help document.\r\n' > "$work/docs/$doc"; done
  wp() { printf 'Z:%s' "$1" | tr '/' '\\'; }
  printf '[Common]\r\nProgram=Tavrel\r\n[Option]\r\nBackupFolder=%s\r\n[Manual]\r\nManual=%s\r\n' \
    "$(wp "$work/Backups")" "$(wp "$work/docs")\\*.txt" > "$work/prog/Tavrel.ini"
  export WINEPREFIX="$build/wineprefix-shot"
  # Everything in the prefix runs on the virtual display: a Wine process
  # started without one would leave the prefix'"'"'s desktop without it.
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    here="$1" folder="$2" work="$3" driver="$4" root="$5" data="$6"; shift 6
    bash "$here/scripts/wine-run.sh" "$driver" --scene-backups "$root" "$data" >/dev/null 2>&1
    press() { bash "$here/scripts/wine-run.sh" "$driver" --press "$@" >/dev/null 2>&1 || true; sleep 1.5; }
    # Tool windows and menus are override-redirect windows, whose pixels a
    # picture of the root misses under Xvfb: each shown one is pasted at its
    # place, bottom to top.
    shot() {
      local out="$folder/$1" id info x y
      xwd -root -silent | convert xwd:- "$out"
      for id in $(xwininfo -root -children | awk "/^ +0x/ {print \$1}" | tac); do
        info=$(xwininfo -all -id "$id" 2>/dev/null) || continue
        printf "%s" "$info" | grep -q "Map State: IsViewable" || continue
        printf "%s" "$info" | grep -q "Override Redirect State: yes" || continue
        x=$(printf "%s" "$info" | awk "/Absolute upper-left X/ {print \$4}")
        y=$(printf "%s" "$info" | awk "/Absolute upper-left Y/ {print \$4}")
        xwd -id "$id" -silent | convert "$out" xwd:- -geometry "+$x+$y" -composite "$out"
      done
    }
    bash "$here/scripts/wine-run.sh" "$work/prog/Tavrel.exe" "$@" &
    pid=$!
    for _ in $(seq 1 1800); do
      xwininfo -root -tree 2>/dev/null | grep -q "\"Tavrel\"" && break
      sleep 0.1
    done
    sleep 1.5
    press open; press select 1; shot backup-list.png
    press detail; press select 1; shot backup-items.png
    press restore; shot restore-message.png
    press message-ok; press close; press close
    press system-menu; shot title-menu.png
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
  ' _ "$here" "$folder" "$work" "$build/bench/app_backup_dialog_bench.exe" "$(wp "$work/Backups")" \
    "$(wp "$work/data")" "$(wp "$work/data/report.txt")" "$(wp "$work/data/notes.txt")"
  ls "$folder"/backup-list.png "$folder"/backup-items.png "$folder"/restore-message.png "$folder"/title-menu.png
}

if [ "${1:-}" = "backup" ]; then
  shift
  backup_scene "$@"
  exit 0
fi

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
