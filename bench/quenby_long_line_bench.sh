#!/usr/bin/env bash
# The page view of the help viewer on single long lines full of inline marks,
# beside lines of the same size without marks, and on a wide table: the open
# (read and layout in a 1200 x 900 view), one wheel step (5 places) and the
# End key, from bench/quenby_view_bench. The documents:
#   - an 80 KB line of 20,000 "*a*" pairs, and 80 KB of plain words;
#   - a 1 MB line of links and emphasis, and 1 MB of plain words;
#   - a table of 8,000 columns (header, delimiter row and 3 rows).
# Targets: opening a marked line within 2x of the plain one, a wheel step
# under 50 ms.
#
#   bash bench/quenby_long_line_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe quenby_view_bench

bench_work
python3 - "$work" <<'PY'
import sys
out = sys.argv[1]
def write(name, text):
    with open(out + "/" + name, "w", newline="") as f:
        f.write(text + "\n")
write("marked80k.md", "*a* " * 20000)
write("plain80k.md", "xax " * 20000)
piece = "[link](other.md) **bold** *it* text "
count = (1 << 20) // len(piece)
write("marked1m.md", piece * count)
write("plain1m.md", "word " * (len(piece) * count // 5))
columns = 8000
rows = ["| " + " | ".join("c%d" % c for c in range(columns)) + " |",
        "|" + "-|" * columns]
for r in range(3):
    rows.append("| " + " | ".join("r%dc%d" % (r, c) for c in range(columns)) + " |")
write("table.md", "\n".join(rows))
PY

status=0
for case in "plain80k.md:80 KB line without marks" "marked80k.md:80 KB line of 20,000 *a* pairs" \
            "plain1m.md:1 MB line without marks" "marked1m.md:1 MB line of links and emphasis" \
            "table.md:table of 8,000 columns"; do
  IFS=: read -r file label <<< "$case"
  echo "== $label"
  # A display of its own: the style measures its fonts in a window.
  if ! run_window "$exe" "$(wpath "$work/$file")" -brief | grep -v '^seconds '; then
    echo "the view benchmark did not run"; status=1
  fi
done
exit $status
