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

mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.tavrel-ready" ]; then
    "$loader" wineboot -i >/dev/null 2>&1
    "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.tavrel-ready"
  fi
  # Keep one server alive for the whole run instead of one per test.
  wineserver -p >/dev/null 2>&1 || true
) 9>"$WINEPREFIX/.lock"
exec "$loader" "$exe" "$@"
