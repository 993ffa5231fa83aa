#!/usr/bin/env bash
# Makes the print queues the printing tests use; safe to run again.
#   Quenby_PDF     the default queue: CUPS-PDF writing into a fixed folder
#   Quenby_Reject  a queue that rejects every job
# Starts the CUPS scheduler when none answers (as root, without a service
# manager). The PDF folder is printed on the last line.
set -euo pipefail

OUT_DIR="${QUENBY_PDF_DIR:-/var/spool/quenby-pdf}"
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi

if ! command -v lpadmin >/dev/null 2>&1; then
  echo "print-queue.sh: cups and printer-driver-cups-pdf are not installed (run scripts/setup.sh)" >&2
  exit 1
fi

if ! lpstat -r 2>/dev/null | grep -q "is running"; then
  $SUDO cupsd
  for _ in $(seq 1 50); do
    lpstat -r 2>/dev/null | grep -q "is running" && break
    sleep 0.1
  done
fi
lpstat -r | grep -q "is running" || { echo "print-queue.sh: the CUPS scheduler did not start" >&2; exit 1; }

$SUDO mkdir -p "$OUT_DIR"
$SUDO chmod 1777 "$OUT_DIR"
# CUPS-PDF reads one configuration per queue named after the queue.
conf=/etc/cups/cups-pdf-Quenby_PDF.conf
want="Out $OUT_DIR
AnonDirName $OUT_DIR
Label 0
TitlePref 1"
if [ ! -f "$conf" ] || [ "$(cat "$conf")" != "$want" ]; then
  printf '%s\n' "$want" | $SUDO tee "$conf" >/dev/null
fi

ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
if ! lpstat -p Quenby_PDF >/dev/null 2>&1; then
  $SUDO lpadmin -p Quenby_PDF -E -v cups-pdf:/Quenby_PDF -P "$ppd"
fi
$SUDO lpadmin -d Quenby_PDF
if ! lpstat -p Quenby_Reject >/dev/null 2>&1; then
  $SUDO lpadmin -p Quenby_Reject -E -v cups-pdf:/Quenby_Reject -P "$ppd"
fi
$SUDO cupsreject Quenby_Reject
echo "$OUT_DIR"
