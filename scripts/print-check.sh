#!/usr/bin/env bash
# Runs the printing test (argument 1: the test program, argument 2 on: the
# program that runs it, e.g. scripts/wine-run.sh) and checks the PDF it
# printed into the "Quenby_PDF" queue: two A4 pages titled after the
# document, page two's and page three's texts, and no pixel of the page
# view's head colour. Fails, naming scripts/print-queue.sh, without the queue.
set -euo pipefail

test_program="$1"; shift
out_dir="${QUENBY_PDF_DIR:-/var/spool/quenby-pdf}"
title="QuenbyPrintCheck.md"

if ! command -v lpstat >/dev/null 2>&1 || ! lpstat -p Quenby_PDF >/dev/null 2>&1; then
  echo "print-check.sh: no queue \"Quenby_PDF\": run scripts/print-queue.sh" >&2
  exit 1
fi
for tool in pdfinfo pdftotext pdftoppm; do
  command -v "$tool" >/dev/null || { echo "print-check.sh: $tool missing (poppler-utils)" >&2; exit 1; }
done

stamp=$(mktemp)
trap 'rm -f "$stamp"' EXIT
"$@" "$test_program" --gtest_filter='PrintQueueTest.*'

# CUPS-PDF writes the file a moment after the job ends.
pdf=""
for _ in $(seq 1 100); do
  for f in $(ls -t "$out_dir"/*.pdf 2>/dev/null); do
    [ "$f" -nt "$stamp" ] || continue
    if pdfinfo "$f" 2>/dev/null | grep -q "^Title: *$title\$" &&
       [ "$(pdfinfo "$f" | sed -n 's/^Pages: *//p')" = 2 ]; then
      pdf="$f"; break
    fi
  done
  [ -n "$pdf" ] && break
  sleep 0.1
done
[ -n "$pdf" ] || { echo "print-check.sh: no two-page PDF titled $title in $out_dir" >&2; exit 1; }

fail() { echo "print-check.sh: $pdf: $*" >&2; exit 1; }
pdfinfo "$pdf" | grep -q "Page size:.*(A4)" || fail "not A4"
page1=$(pdftotext -f 1 -l 1 "$pdf" -)
page2=$(pdftotext -f 2 -l 2 "$pdf" -)
grep -q "Page two" <<<"$page1" || fail "page 1 lacks \"Page two\""
grep -q "Page 2 of 5" <<<"$page1" || fail "page 1 lacks \"Page 2 of 5\""
grep -q "Page three" <<<"$page2" || fail "page 2 lacks \"Page three\""
grep -q "Page 3 of 5" <<<"$page2" || fail "page 2 lacks \"Page 3 of 5\""
# The head colour 0x20C040 (red 0x40, green 0xC0, blue 0x20) is the
# screen's page band: a printed page never shows it.
ppm=$(mktemp --suffix=.ppm)
pdftoppm -r 50 -f 1 -l 1 "$pdf" >"$ppm"
if LC_ALL=C grep -q $'\x40\xc0\x20' "$ppm"; then fail "the page shows the screen's head colour"; fi
rm -f "$ppm"
echo "print-check.sh: $pdf checked"
