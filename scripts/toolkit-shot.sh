#!/usr/bin/env bash
# Shows one page of the toolkit gallery under Xvfb and saves a screenshot:
#     bash scripts/toolkit-shot.sh <page> out.png
# (scripts/window-shot.sh builds the gallery and takes the picture).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
page="${1:?usage: toolkit-shot.sh <page> out.png}"
out="${2:?usage: toolkit-shot.sh <page> out.png}"
exec bash "$here/scripts/window-shot.sh" toolkit_gallery 1280x1024 "$out" "$page"
