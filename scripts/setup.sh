#!/usr/bin/env bash
# Installs what the build and the tests need, skipping what is already there.
# Safe to run again; needs root (or sudo) on a Debian machine.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi

packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine32:i386 wine64 xvfb xauth cmake googletest
          x11-apps x11-utils xdotool imagemagick diffutils locales util-linux cmark python3 fonts-ipafont-gothic fontconfig
          cups printer-driver-cups-pdf poppler-utils libcups2:i386)

have_all=1
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    have_all=0; break
  fi
done

if [ "$have_all" = 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # A mirror in mid-sync fails one index now and then; try again, and go on
  # with what was fetched if it keeps failing (the install says what is missing).
  for attempt in 1 2 3; do
    if $SUDO apt-get update; then break; fi
    echo "apt-get update failed (attempt $attempt)" >&2
    sleep 10
  done
  missing=()
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; then
    # The 32-bit Wine parts are needed only where the machine runs 32-bit code
    # (scripts/test-arch.sh); when their index could not be fetched, install the
    # rest so the 64-bit build can still be tested.
    native=()
    for p in "${missing[@]}"; do
      case "$p" in *:i386) ;; *) native+=("$p") ;; esac
    done
    echo "setup: the full install failed; installing without the i386 packages" >&2
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${native[@]}"
  fi
fi

# The Japanese locale makes Wine run with ANSI code page 932 for the second
# round of encoding tests.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  fi
fi

# Debian ships the posix-thread compiler as an alternative; make sure it exists.
command -v i686-w64-mingw32-g++-posix >/dev/null
