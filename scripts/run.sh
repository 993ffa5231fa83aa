#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavrel (when the machine has
# no display, under Xvfb). Arguments go to Tavrel; without any it compares
# the two sample folders. With "quenby" first, the help viewer starts
# instead, on the documents given after it (default: the sample guide).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" i686
arch=$(bash "$here/scripts/test-arch.sh")
[ "$arch" != i686 ] && bash "$here/scripts/build.sh" "$arch"
# Wine sees the Unix root as drive Z:.
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
program=Tavrel
if [ "${1:-}" = quenby ]; then
  program=Quenby
  shift
  [ $# -eq 0 ] && set -- "$here/samples/help/Quenby_Guide.md"
  documents=()
  for document in "$@"; do
    case "$document" in /*) ;; *) document="$PWD/$document" ;; esac
    documents+=("$(winpath "$document")")
  done
  set -- "${documents[@]}"
elif [ $# -eq 0 ]; then
  set -- "$(winpath "$here/samples/left")" "$(winpath "$here/samples/right")"
fi
exe="$here/build-$arch/$program.exe"
if [ ! -f "$exe" ]; then
  echo "Built. $program itself is not part of the tree yet."
  exit 0
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$here/scripts/wine-run.sh" "$exe" "$@"
fi
exec "$here/scripts/wine-run.sh" "$exe" "$@"
