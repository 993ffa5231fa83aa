#!/usr/bin/env bash
# Creating and copying 1,000,000 short strings: the atomic share count beside
# a critical section per body.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${TAVREL_BUILD:-$here/build-$(bash "$here/scripts/test-arch.sh")}"
"$here/scripts/wine-run.sh" "$build/bench/string_bench.exe"
