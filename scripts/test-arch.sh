#!/usr/bin/env bash
# Prints the architecture the tests run as: i686 where this machine can run
# 32-bit code under Wine, else x86_64 (some virtual machines cannot execute
# 32-bit code at all, and a set-up may have installed Wine without its 32-bit
# half; the same sources are then tested as a 64-bit build).
if [ -n "${TAVREL_TEST_ARCH:-}" ]; then echo "$TAVREL_TEST_ARCH"; exit 0; fi
if [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1 &&
   ! { [ -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine ]; }; then
  echo i686
else
  echo x86_64
fi
