#!/usr/bin/env bash
# Installs what is missing, builds the programs and runs every test under
# Wine and Xvfb. Extra arguments go to ctest (for example: -L base).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
arch=$(bash "$here/scripts/test-arch.sh")
# The shipped programs are 32-bit: always build them, warnings and all.
bash "$here/scripts/build.sh" i686
if [ "$arch" != i686 ]; then
  echo "This machine cannot execute 32-bit code: tests run as a $arch build." >&2
  bash "$here/scripts/build.sh" "$arch"
else
  # The same sources also build as 64-bit, warnings and all, so they stay
  # pointer-size clean.
  bash "$here/scripts/build.sh" x86_64
fi
# The printing tests print into CUPS queues made here. Without them those
# tests fail and say why; every other test still runs.
bash "$here/scripts/print-queue.sh" >/dev/null || echo "test.sh: no print queues; the printing tests will fail" >&2
cd "$here/build-$arch"
# A Wine server left from an earlier run keeps the desktop of a display that
# is gone: the first test would start the new one and hand it its output,
# keeping ctest waiting. The first test of this run starts a fresh server.
WINEPREFIX="$here/build-$arch/wineprefix" wineserver -k >/dev/null 2>&1 || true
# Stop this prefix's Wine server when the run ends, whatever the result.
trap 'WINEPREFIX="$here/build-$arch/wineprefix" wineserver -k >/dev/null 2>&1 || true' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(nproc)" "$@"
