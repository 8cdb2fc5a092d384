#!/bin/sh
# Lays out a Wine prefix as the fax product is installed on Windows:
#   C:\FAX\PROG\   the program and its peers    C:\FAX\ADMIN\, C:\FAX\USERS\0001\
#   C:\windows\QFSCH.INI                        the shared settings
# The imaging control is not installed here: ZEP.EXE does that (see demo.sh).
# Usage: install.sh WIN_BUILD_DIR [PREFIX]
set -e
win=$(cd "$1" && pwd)
prefix=${2:-$win/../wineprefix}
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$prefix"

"$here/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
drive="$WINEPREFIX/drive_c"
mkdir -p "$drive/FAX/PROG" "$drive/FAX/ADMIN" "$drive/FAX/USERS/0001"
for file in TAVON.exe ORVIKCTR.dll QUEUEMGR.exe ZEP.exe FAXPRINT.exe IMOCX32.OCX IMTWAIN3.OCX; do
    cp "$win/bin/$file" "$drive/FAX/PROG/$(echo "$file" | tr a-z A-Z)"
done
printf '[Quilfa]\r\nProgDir=C:\\FAX\\PROG\\\r\nPrivateDir=C:\\FAX\\USERS\\0001\\\r\nUser=0001\r\n' \
    > "$drive/windows/QFSCH.INI"
echo "install: prefix $WINEPREFIX laid out (C:\\FAX\\PROG, C:\\windows\\QFSCH.INI)"
