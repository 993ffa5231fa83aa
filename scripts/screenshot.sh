#!/usr/bin/env bash
# Starts Tavrel under Xvfb (1280x1024) on the given arguments (default: the
# two sample folders), waits for its window, writes a PNG of the screen and
# closes the program:
#     bash scripts/screenshot.sh out.png [Tavrel arguments...]
#     bash scripts/screenshot.sh folders.png    (the sample folders)
#     bash scripts/screenshot.sh text.png       (the sample text pair)
#     bash scripts/screenshot.sh japanese-sjis.png  (the Japanese pairs, in
#     bash scripts/screenshot.sh japanese-utf16.png  Shift_JIS and UTF-16)
#     bash scripts/screenshot.sh main-views.png (a text pair with changes on
#         both sides, a long line and a cut side: buttons, position-bar
#         marks, a twin-bar thumb, detail boxes and a status line)
#     bash scripts/screenshot.sh main-narrow.png (the same, the window too
#         narrow for every push button)
#     bash scripts/screenshot.sh pairs-tabs.png (a pair file of four pairs
#         opened with -g; then Ctrl+H opens the search-and-replace input
#         dialog with its option row, written as input-dialog.png beside it)
#     bash scripts/screenshot.sh side-menu.png  (the side menu open on side 2
#                                                of the sample text pair)
#     bash scripts/screenshot.sh float-drag.png (two lines of the text pair
#                                                dragged, "Float" label)
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

. "$here/scripts/shot-common.sh"
shot_build tavrel_program
exe="$build/Tavrel.exe"

shot_tools xdotool

# Wine sees the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "$(cd "$1" && pwd)" | tr '/' '\\'; }
# Scenes by the picture's name when no arguments are given: "text.png"
# compares the two sample text files, anything else (e.g. "folders.png")
# the two sample folders.
# The main-view scenes run a copy of the program in a folder of their own,
# with a profile that cuts side 2 (a status line) and, for the narrow one,
# a fixed narrow window.
main_scene() {
  local dir="$build/shot-$1"
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$exe" "$dir/Tavrel.exe"
  exe="$dir/Tavrel.exe"
  {
    printf '[Common]\r\nProgram=Tavrel\r\n[Option]\r\nMaxTextLoading=6000\r\n'
    if [ "$1" = narrow ]; then
      printf '[MainDialog]\r\nWindowRect_L=40\r\nWindowRect_T=40\r\nWindowRect_R=560\r\n'
      printf 'WindowRect_B=700\r\nFixRect=True\r\n'
    fi
  } >"$dir/Tavrel.ini"
  : >"$dir/left.txt"; : >"$dir/right.txt"
  for i in $(seq 0 119); do
    case $i in
      0) printf 'first line of the left file\n' >>"$dir/left.txt"
         printf 'first line of the RIGHT file, a little longer\n' >>"$dir/right.txt" ;;
      30|31) printf 'line %d only on the left\n' "$i" >>"$dir/left.txt" ;;
      60) printf 'line %d\n' "$i" >>"$dir/left.txt"
          printf 'line %d %s\n' "$i" "$(printf 'long%.0s' $(seq 1 120))" >>"$dir/right.txt" ;;
      90) printf 'line %d\n' "$i" >>"$dir/left.txt"
          printf 'line %d changed\n' "$i" >>"$dir/right.txt" ;;
      *) printf 'line %d\n' "$i" >>"$dir/left.txt"; printf 'line %d\n' "$i" >>"$dir/right.txt" ;;
    esac
  done
  for i in $(seq 0 600); do printf 'cut away %d\n' "$i" >>"$dir/right.txt"; done
  set -- "$(windows_path "$dir")\\left.txt" "$(windows_path "$dir")\\right.txt"
  scene_args=("$@")
  # A click on the first row (window coordinates) puts the cursor there, so
  # that the detail boxes show it.
  export SHOT_CLICK="150 118"
}
scene_args=()
if [ $# -eq 0 ]; then
  case "$(basename "$out")" in
    main-views.png) main_scene views ;;
    main-narrow.png) main_scene narrow ;;
  esac
  [ ${#scene_args[@]} -eq 0 ] || set -- "${scene_args[@]}"
fi
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
    text.png|side-menu.png|float-drag.png)
      set -- "$(windows_path "$here/samples/text")\\left.txt" "$(windows_path "$here/samples/text")\\right.txt" ;;
    japanese-sjis.png|japanese-utf16.png)
      name=$(basename "$out" .png).txt
      set -- "$(windows_path "$here/samples/left")\\$name" "$(windows_path "$here/samples/right")\\$name" ;;
    *)
      set -- "$(windows_path "$here/samples/left")" "$(windows_path "$here/samples/right")" ;;
  esac
fi

export WINEPREFIX="$build/wineprefix-shot"
scene=$(basename "$out" .png)
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  . "$SHOT_COMMON"
  out="$1"; second="$2"; scene="$3"; shift 3
  "$@" &
  pid=$!
  status=1
  if shot_wait "$pid" shot_window_up Tavrel; then
    status=0
    # Let the first paint of the compared pair finish.
    sleep 1.5
    if [ -n "${SHOT_CLICK:-}" ] && command -v xdotool >/dev/null; then
      id=$(xdotool search --name "^Tavrel\$" | head -1)
      # shellcheck disable=SC2086
      [ -z "$id" ] || { xdotool mousemove --window "$id" $SHOT_CLICK click 1; sleep 0.5; }
    fi
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
  shot_stop "$pid"
  exit $status
' _ "$out" "$second" "$scene" "$here/scripts/wine-run.sh" "$exe" "$@"
[ -n "$second" ] && echo "$second"
# A program ended from outside leaves its temporary folder behind.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/Tavrel_Temp* \
       "$WINEPREFIX"/drive_c/users/*/Temp/Tavrel_Temp* 2>/dev/null || true
echo "$out"
