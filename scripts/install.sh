#!/bin/sh
# Installs a Windows tree's setup (built by installer/) silently into a Wine prefix, as a
# user installs it on Windows. In a prefix without the fax product that is the trial:
# C:\FAX\PROG\ with the program and its stand-ins, C:\FAX\ADMIN\, C:\FAX\USERS\0001\,
# C:\windows\QFSCH.INI, the imaging control registered through ZEP.EXE, TAVON.EXE started
# at log-on. The setup's exit code is this script's (2 failed, 3 refused).
# Usage: install.sh WIN_BUILD_DIR [PREFIX]
set -e
win=$(cd "$1" && pwd)
prefix=${2:-$win/../wineprefix}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$prefix"
export WINEPREFIX=$(cd "$prefix" && pwd)

setup=$(ls "$win"/dist/Kelvarin-*-setup.exe)
"$here/wine-run.sh" "$setup" /S
echo "install: $(basename "$setup") installed in $WINEPREFIX (C:\\FAX\\PROG, C:\\windows\\QFSCH.INI)"
