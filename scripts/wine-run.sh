#!/usr/bin/env bash
# Runs a Windows executable under Wine, for ctest and for the benchmarks.
# The prefix belongs to the build folder (WINEPREFIX may override it); the
# first run creates it with the crash dialog off, and a persistent wineserver
# keeps later runs fast. The executable's exit code is passed through.
set -u
exe="$1"; shift
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  # The build folder is the nearest ancestor with a CMakeCache.txt.
  root="$dir"
  while [ "$root" != "/" ] && [ ! -f "$root/CMakeCache.txt" ]; do root=$(dirname "$root"); done
  [ "$root" = "/" ] && root="$dir"
  export WINEPREFIX="$root/wineprefix"
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# A 64-bit PE (machine 0x8664) needs the 64-bit loader; Debian's "wine"
# front end starts the 32-bit one.
loader=wine
machine=$(od -An -t x2 -j $(( $(od -An -t u4 -j 60 -N 4 "$exe") + 4 )) -N 2 "$exe" | tr -d ' ')
if [ "$machine" = "8664" ] && [ -x /usr/lib/wine/wine64 ]; then loader=/usr/lib/wine/wine64; fi
# Debian's front end without its 32-bit half runs a 32-bit program as
# nothing at all and ends with status 0 (its hint is silenced with the debug
# output): say so and fail instead.
if [ "$machine" = "014c" ] && [ -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "wine-run: $(basename "$exe") is a 32-bit program and this Wine has no 32-bit loader (wine32 is not installed)" >&2
  exit 126
fi

# Wine fixes a prefix's system fonts (message, menu, caption fonts: face,
# height, character set) from the locale of the process that creates it, and
# keeps them. The tests run under two locales and whichever starts first
# would otherwise decide the fonts every later test draws with, so the
# prefix is set up, and its session started, under the machine's default
# locale; a test's own locale still applies to the test itself.
setup_locale=(env LC_ALL=C.UTF-8 LANG=C.UTF-8)

mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.tavrel-ready-4" ]; then
    # Wine's daemons must not inherit the lock's descriptor, or they would
    # hold the lock for as long as they live. No test runs in the prefix
    # while it is being set up: a server left from an earlier run goes, or
    # the wait for the server below would never end.
    wineserver -k >/dev/null 2>&1 9>&- || true
    wineserver -w >/dev/null 2>&1 9>&- || true
    # A prefix an earlier version of this script made may carry the fonts of
    # the Japanese locale: it is made again. A prefix without any of these
    # marks is not ours (WINEPREFIX given) and is kept.
    if compgen -G "$WINEPREFIX/.tavrel-ready-*" >/dev/null; then
      find "$WINEPREFIX" -mindepth 1 -maxdepth 1 ! -name .lock -exec rm -rf {} +
    fi
    "${setup_locale[@]}" "$loader" wineboot -i >/dev/null 2>&1 9>&-
    "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 9>&-
    # Windows that no window manager manages: Xvfb has none, and a managed
    # window that is hidden or destroyed waits two seconds for one.
    "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 9>&-
    # No debugger on crashes: a crash test's process ends at once instead of
    # waiting for winedbg's backtrace.
    for view in 64 32; do
      "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f /reg:$view >/dev/null 2>&1 9>&-
      "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1 /f /reg:$view >/dev/null 2>&1 9>&-
    done
    wineserver -w 9>&-
    touch "$WINEPREFIX/.tavrel-ready-4"
  fi
  # Japanese text: the fonts Wine picks for the programs' Latin faces have
  # no kana or kanji, so those faces are linked to the Japanese font the
  # set-up installs. Linking, not replacing, keeps every Latin glyph as it
  # was; only the missing characters come from the Japanese font. A face
  # that is not installed gets no link (a link would make it the Japanese
  # font). The mark keeps the faces linked: fonts installed after the prefix
  # was made (Wine's recommended ones, say) are linked at the next run.
  japanese=$(fc-match -f '%{file}' 'IPAGothic:lang=ja' 2>/dev/null || true)
  [ -n "$japanese" ] && japanese=$(readlink -f "$japanese")
  if [ -n "$japanese" ] && fc-list -f '%{family}\n' ":file=$japanese" 2>/dev/null | grep -q 'IPAGothic'; then
    installed=$(fc-list -f '%{family}\n' 2>/dev/null | tr ',' '\n')
    faces=()
    for face in "DejaVu Sans" "DejaVu Sans Mono" "DejaVu Serif" "Liberation Sans" "Liberation Mono" \
                "Liberation Serif" "Tahoma" "Courier New" "Arial" "Times New Roman"; do
      printf '%s\n' "$installed" | grep -qxF "$face" && faces+=("$face")
    done
    linked="$japanese:$(IFS=,; printf '%s' "${faces[*]}")"
    before=$(cat "$WINEPREFIX/.tavrel-fontlink-2" 2>/dev/null || true)
    if [ "$before" != "$linked" ]; then
      key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
      # A face linked before and gone since loses its link, or its name
      # would stand for the Japanese font alone.
      IFS=, read -r -a earlier <<<"${before#*:}"
      for face in "${earlier[@]}"; do
        case ",$(IFS=,; printf '%s' "${faces[*]}")," in *",$face,"*) continue ;; esac
        "$loader" reg delete "$key" /v "$face" /f >/dev/null 2>&1 9>&- || true
      done
      for face in "${faces[@]}"; do
        "$loader" reg add "$key" /v "$face" /t REG_MULTI_SZ /d "$(basename "$japanese"),IPAGothic" /f \
          >/dev/null 2>&1 9>&- || true
      done
      printf '%s\n' "$linked" > "$WINEPREFIX/.tavrel-fontlink-2"
    fi
  fi
  # Keep one server alive for the whole run instead of one per test, and
  # start Wine's own services from here with their output on /dev/null:
  # started by a test they would inherit its output pipe and keep the test
  # runner waiting for them to end.
  wineserver -p >/dev/null 2>&1 9>&- || true
  "${setup_locale[@]}" "$loader" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$WINEPREFIX/.lock"
# On a terminal the program simply takes its place.
if [ -t 1 ]; then exec "$loader" "$exe" "$@"; fi
# Otherwise its output reaches the caller through files. A Wine process
# that the program starts in passing (the desktop's explorer.exe, above
# all) inherits the program's standard output and lives on after it, until
# no Wine program has run for a while: a caller reading a pipe (ctest, a
# benchmark's $(...)) would wait for that process instead of the program,
# and under a parallel test run the wait lasts until the runner's time-out.
# The files are followed while the program runs, so output still comes as
# it is written, and the program's own exit code is passed through.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run-out.XXXXXX")
err=$(mktemp "${TMPDIR:-/tmp}/wine-run-err.XXXXXX")
trap 'rm -f "$out" "$err"' EXIT
"$loader" "$exe" "$@" <&0 >"$out" 2>"$err" &
program=$!
tail -s 0.1 -n +1 -f --pid="$program" "$out" &
follow_out=$!
tail -s 0.1 -n +1 -f --pid="$program" "$err" >&2 &
follow_err=$!
wait "$program"
code=$?
wait "$follow_out" "$follow_err"
exit "$code"
