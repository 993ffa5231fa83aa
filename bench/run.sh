#!/usr/bin/env bash
# Runs every benchmark beside its peer tool on the same input and prints both
# times and the ratio. Builds first when needed (in $TAVREL_BUILD when set,
# else in the build folder of the test architecture).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch=$(bash "$here/scripts/test-arch.sh")
build="${TAVREL_BUILD:-$here/build-$arch}"
[ -f "$build/CMakeCache.txt" ] || bash "$here/scripts/build.sh" "$arch" "$build"
cmake --build "$build" -j "$(nproc)" >/dev/null
export TAVREL_BUILD="$build"
# A benchmark that fails says so and the rest still run; the run fails at
# the end.
status=0
for script in "$here"/bench/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script" .sh)"
  bash "$script" || { code=$?; echo "$(basename "$script" .sh) ended with exit status $code" >&2; status=1; }
done
exit $status
