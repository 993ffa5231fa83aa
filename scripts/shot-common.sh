# Shared steps of the screenshot scripts; sourced, with `here` set to the
# project folder, and again (through $SHOT_COMMON) by the shell under Xvfb.
export SHOT_COMMON="${BASH_SOURCE[0]}"

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

# For the shell under Xvfb: waits until a command succeeds while
# the program `pid` runs (the first run also sets the prefix up, which takes
# a while); false when the program ended or three minutes passed.
shot_wait() {
  local pid="$1" _
  shift
  for _ in $(seq 1 1800); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# Whether a top-level window of the title is on the screen.
shot_window_up() { xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""; }
# Ends the program `pid` and the Wine server of the prefix.
shot_stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
}
