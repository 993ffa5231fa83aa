#!/usr/bin/env bash
# Configures and builds one target architecture: scripts/build.sh i686|x86_64 [folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch="${1:-i686}"
out="${2:-$here/build-$arch}"
cmake -S "$here" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" -j "$(nproc)"
