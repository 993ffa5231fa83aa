#!/usr/bin/env bash
# Runs every benchmark beside its peer tool on the same input and prints both
# times and the ratio. Builds first when needed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch=$(bash "$here/scripts/test-arch.sh")
[ -d "$here/build-$arch" ] || bash "$here/scripts/build.sh" "$arch"
cmake --build "$here/build-$arch" -j "$(nproc)" >/dev/null
export TAVREL_BUILD="$here/build-$arch"
for script in "$here"/bench/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script" .sh)"
  bash "$script"
done
