#!/usr/bin/env bash
# Shows one page of the toolkit gallery under Xvfb and saves a screenshot:
#     bash scripts/toolkit-shot.sh <page> out.png
# Builds the gallery first (scripts/window-shot.sh takes the picture).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
page="${1:?usage: toolkit-shot.sh <page> out.png}"
out="${2:?usage: toolkit-shot.sh <page> out.png}"

arch=$(bash "$here/scripts/test-arch.sh")
build="$here/build-$arch"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 4 --target toolkit_gallery >/dev/null
exec bash "$here/scripts/window-shot.sh" "$build/tests/toolkit_gallery.exe" 1280x1024 "$out" "$page"
