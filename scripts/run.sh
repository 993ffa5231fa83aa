#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavrel (when the machine has
# no display, under Xvfb). Arguments go to Tavrel.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" i686
arch=$(bash "$here/scripts/test-arch.sh")
[ "$arch" != i686 ] && bash "$here/scripts/build.sh" "$arch"
exe="$here/build-$arch/Tavrel.exe"
if [ ! -f "$exe" ]; then
  echo "Built. Tavrel itself is not part of the tree yet."
  exit 0
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$here/scripts/wine-run.sh" "$exe" "$@"
fi
exec "$here/scripts/wine-run.sh" "$exe" "$@"
