#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavrel (when the machine has
# no display, under Xvfb). Arguments go to Tavrel; without any it compares
# the two sample folders.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" i686
arch=$(bash "$here/scripts/test-arch.sh")
[ "$arch" != i686 ] && bash "$here/scripts/build.sh" "$arch"
exe="$here/build-$arch/Tavrel.exe"
if [ $# -eq 0 ]; then
  # Wine sees the Unix root as drive Z:.
  set -- "Z:$(printf '%s' "$here/samples/left" | tr '/' '\\')" "Z:$(printf '%s' "$here/samples/right" | tr '/' '\\')"
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$here/scripts/wine-run.sh" "$exe" "$@"
fi
exec "$here/scripts/wine-run.sh" "$exe" "$@"
