#!/bin/sh
# Succeeds when this machine can run 32-bit Windows programs under Wine: wine32 is
# installed and the kernel runs 32-bit programs (some run with ia32_emulation off).
exec /usr/lib/wine/wine --version >/dev/null 2>&1
