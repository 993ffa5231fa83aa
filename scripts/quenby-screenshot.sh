#!/usr/bin/env bash
# Starts Quenby.exe under Xvfb on help documents, waits for its window,
# saves a screenshot of the whole screen and closes the program:
#     bash scripts/quenby-screenshot.sh out.png [documents...]
#     bash scripts/quenby-screenshot.sh --scenes out-folder
# Without documents it shows the guide and the second document of
# samples/help. "--scenes" saves three shots of the guide: quenby-guide.png
# (line view), quenby-page.png (page view with its bands) and
# quenby-zoom.png (after two Ctrl+wheel steps over the view), and three of
# printing in page view: margin-dialog.png (the Margin button's dialog),
# print-progress.png (the progress dialog while the guide prints to the
# "Quenby_PDF" queue of scripts/print-queue.sh), printed-page-1.png (the
# printed PDF's first page by pdftoppm) and printed-picture.png (the first
# printed page that holds a picture). Builds where needed (x86_64 where
# 32-bit code cannot run);
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
  QUENBY_SHOT_SWITCHES="-p" QUENBY_SHOT_ACTION=margin bash "$0" "$folder/margin-dialog.png" "$guide"
  pdfs=$(bash "$here/scripts/print-queue.sh" | tail -n 1)
  stamp=$(mktemp)
  QUENBY_SHOT_SWITCHES="-p" QUENBY_SHOT_ACTION=print bash "$0" "$folder/print-progress.png" "$guide"
  pdf=""
  for _ in $(seq 1 100); do
    for f in $(ls -t "$pdfs"/*.pdf 2>/dev/null); do
      if [ "$f" -nt "$stamp" ] && pdfinfo "$f" 2>/dev/null | grep -q "^Title: *Quenby_Guide.md\$"; then pdf=$f; break; fi
    done
    [ -n "$pdf" ] && break
    sleep 0.1
  done
  rm -f "$stamp"
  [ -n "$pdf" ] || { echo "no printed PDF of the guide in $pdfs" >&2; exit 1; }
  pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$pdf" "$folder/printed-page-1"
  echo "$folder/printed-page-1.png"
  # The first printed page that holds a picture.
  picture_page=$(pdfimages -list "$pdf" | awk 'NR > 2 && $3 == "image" {print $1; exit}')
  [ -n "$picture_page" ] || { echo "the printed guide holds no picture: $pdf" >&2; exit 1; }
  pdftoppm -png -r 60 -f "$picture_page" -l "$picture_page" -singlefile "$pdf" "$folder/printed-picture"
  echo "$folder/printed-picture.png"
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

. "$here/scripts/shot-common.sh"
shot_build quenby_program

if [ "${QUENBY_SHOT_ACTION:-}" = zoom ]; then shot_tools xdotool; else shot_tools; fi

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
  . "$SHOT_COMMON"
  out="$1"; shift
  "$@" &
  pid=$!
  status=0
  if shot_wait "$pid" shot_window_up Quenby; then
    sleep 1.5
    if [ "${QUENBY_SHOT_ACTION:-}" = zoom ]; then
      # Two wheel steps away from the user with Ctrl held, over the page view.
      id=$(xdotool search --name "^Quenby$" | head -n 1)
      eval "$(xdotool getwindowgeometry --shell "$id")"
      xdotool mousemove $((X + WIDTH * 2 / 3)) $((Y + HEIGHT / 2))
      xdotool keydown ctrl click 4 sleep 0.3 click 4 sleep 0.3 keyup ctrl
      sleep 1
    fi
    # The Margin and Print buttons sit in the button row at these places
    # from the window'"'"'s top left (the default font and spacing).
    if [ "${QUENBY_SHOT_ACTION:-}" = margin ] || [ "${QUENBY_SHOT_ACTION:-}" = print ]; then
      id=$(xdotool search --name "^Quenby$" | head -n 1)
      eval "$(xdotool getwindowgeometry --shell "$id")"
      if [ "$QUENBY_SHOT_ACTION" = margin ]; then
        xdotool mousemove $((X + 299)) $((Y + 37)) click 1
        for _ in $(seq 1 50); do
          xwininfo -root -tree 2>/dev/null | grep -q "Resize margin" && break; sleep 0.1
        done
        sleep 3
      else
        xdotool mousemove $((X + 391)) $((Y + 37)) click 1
        for _ in $(seq 1 100); do
          xwininfo -root -tree 2>/dev/null | grep -q "\"Print\"" && break; sleep 0.1
        done
        sleep 1
        xdotool key Return
        # The page-size question, when the printer'"'"'s page differs: OK.
        for _ in $(seq 1 200); do
          tree=$(xwininfo -root -tree 2>/dev/null)
          grep -q "Print progress" <<<"$tree" && break
          # The question is a second window titled "Quenby".
          if [ "$(grep -c "\"Quenby\":" <<<"$tree")" -ge 2 ]; then xdotool key o; fi
          sleep 0.05
        done
        sleep 0.15
      fi
    fi
    xwd -root -silent | convert xwd:- "$out"
    # The root picture leaves the program'"'"'s dialogs black: each is laid
    # over it from its own window.
    case "${QUENBY_SHOT_ACTION:-}" in
      margin) dialog="Resize margin" ;;
      print) dialog="Print progress" ;;
      *) dialog="" ;;
    esac
    if [ -n "$dialog" ]; then
      did=$(xdotool search --name "$dialog" | head -n 1 || true)
      if [ -n "$did" ]; then
        eval "$(xdotool getwindowgeometry --shell "$did")"
        xwd -id "$did" -silent | convert "$out" xwd:- -geometry "+$X+$Y" -composite "$out"
      fi
    fi
    if [ "${QUENBY_SHOT_ACTION:-}" = print ]; then
      # The job ends before the program does.
      for _ in $(seq 1 600); do
        xwininfo -root -tree 2>/dev/null | grep -q "Print progress" || break; sleep 0.1
      done
    fi
  else
    echo "the window did not come up" >&2
    status=1
  fi
  shot_stop "$pid"
  exit $status
' _ "$out" "$here/scripts/wine-run.sh" "$work/Quenby.exe" "${documents[@]}"
echo "$out"
