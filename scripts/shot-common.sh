# Shared steps of the screenshot scripts; sourced, with `here` set to the
# project folder.

# Configures the build folder for the architecture this machine runs
# (x86_64 where 32-bit code cannot run) when it is new, builds a target
# and sets `build` to the folder.
shot_build() {
  local arch
  arch=$(bash "$here/scripts/test-arch.sh")
  build="$here/build-$arch"
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j 4 --target "$1" >/dev/null
}

# Installs the X tools a shot needs when one is missing: xwd, xwininfo and
# convert, and the further commands named (each its own package's name).
shot_tools() {
  local missing=0 tool
  for tool in xwd xwininfo convert "$@"; do
    command -v "$tool" >/dev/null || missing=1
  done
  if [ $missing = 1 ]; then
    local SUDO=""
    if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
    $SUDO apt-get install -y --no-install-recommends x11-apps x11-utils imagemagick "$@"
  fi
}
