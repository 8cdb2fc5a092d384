#!/bin/sh
# The setup under Wine, silently, in a fresh prefix: the layout, the settings file, the
# imaging control registered through ZEP.EXE, TAVON.EXE started at log-on and a letter
# printed through it into the outbox; then the uninstaller, which leaves the settings
# file and the faxes. A second round over a settings file of the product's, which both
# the setup and the uninstaller must leave untouched.
# Usage: round_trip.sh SETUP.EXE PREFIX
set -e
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
mkdir -p "$2"
export WINEPREFIX=$(cd "$2" && pwd)
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
run="$scripts/wine-run.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The setup has the program's bitness and works in its views of the system directory
# and the registry.
case "$setup" in
    *-win32-setup.exe) system=syswow64; view=/reg:32 ;;
    *) system=system32; view=/reg:64 ;;
esac

rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
trap 'wineserver -k 2>/dev/null || true' EXIT
drive="$WINEPREFIX/drive_c"
prog="$drive/FAX/PROG"
ini="$drive/windows/QFSCH.INI"
programs="TAVON.EXE ORVIKCTR.DLL FAXPRINT.EXE QUEUEMGR.EXE ZEP.EXE IMOCX32.OCX IMTWAIN3.OCX"
controls="IMOCX32.OCX IMTWAIN3.OCX"
# The imaging control's class identifier (src/imaging/image_man.h).
clsid='HKCR\CLSID\{0EABA3C0-D884-101B-8CAE-00006E44AAB2}'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvarin'

registry_has() { "$run" reg query "$@" "$view" >/dev/null 2>&1; }

install() {
    "$run" "$setup" /S || fail "setup exited with $?"
    for f in $programs UNINSTALL.EXE; do [ -f "$prog/$f" ] || fail "C:\\FAX\\PROG\\$f missing"; done
    for d in FAX/ADMIN FAX/USERS/0001; do [ -d "$drive/$d" ] || fail "C:\\$d missing"; done
    for f in $controls; do
        [ -f "$drive/windows/$system/$f" ] || fail "$f not in the system directory ($system)"
    done
    registry_has "$clsid\\InprocServer32" || fail "imaging control not registered"
    grep -q "registered IMOCX32.OCX and IMTWAIN3.OCX" "$prog/ZEP.LOG" || fail "ZEP.EXE did not register"
    [ "$("$run" reg query "$run_key" /v Kelvarin | tr -d '\r' | grep -c 'C:\\FAX\\PROG\\TAVON.EXE')" = 1 ] ||
        fail "TAVON.EXE not started at log-on"
    registry_has "$uninstall_key" /v UninstallString || fail "no uninstall entry"
}

uninstall() {
    "$run" 'C:\FAX\PROG\UNINSTALL.EXE' /S || fail "uninstaller exited with $?"
    # The uninstaller goes on from a copy of itself; wait until every program has ended.
    wineserver -w
    for f in $programs UNINSTALL.EXE ZEP.LOG; do [ ! -e "$prog/$f" ] || fail "C:\\FAX\\PROG\\$f left"; done
    for f in $controls; do [ ! -e "$drive/windows/$system/$f" ] || fail "$f left in $system"; done
    ! registry_has "$clsid" || fail "imaging control still registered"
    ! "$run" reg query "$run_key" /v Kelvarin >/dev/null 2>&1 || fail "log-on start left"
    ! registry_has "$uninstall_key" || fail "uninstall entry left"
    [ -f "$ini" ] || fail "QFSCH.INI removed"
}

# Round 1: a machine without the product.
install
[ "$(tr -d '\r' < "$ini")" = "$(printf '[Quilfa]\nProgDir=C:\\FAX\\PROG\\\nPrivateDir=C:\\FAX\\USERS\\0001\\\nUser=0001')" ] ||
    fail "QFSCH.INI written as: $(cat "$ini")"
written=$(cat "$ini")

# Log-on: Wine's wineboot without options starts the Run entries, as Windows does.
"$run" wineboot
deadline=$(($(date +%s) + 60))
until "$run" 'C:\FAX\PROG\FAXPRINT.EXE' --raw 7 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "TAVON.EXE did not start at log-on"
    sleep 0.2
done
cp "$scripts/sample_letter.txt" "$drive/FAX/letter.txt"
"$run" 'C:\FAX\PROG\FAXPRINT.EXE' 'C:\FAX\letter.txt' >/dev/null || fail "printing failed"
until grep -q "queued " "$prog/outbox/queue.log" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "no fax reached C:\\FAX\\PROG\\outbox"
    sleep 0.2
done
fax=$(ls "$prog"/outbox/FAX-*.TIF)

uninstall
[ "$(cat "$ini")" = "$written" ] || fail "QFSCH.INI changed by the uninstaller"
[ -f "$fax" ] && [ -f "$prog/outbox/queue.log" ] || fail "the fax was removed"

# Round 2: the product's own settings file is kept as it is.
printf '[Quilfa]\r\nProgDir=C:\\FAX\\PROG\\\r\nPrivateDir=C:\\FAX\\USERS\\0007\\\r\nUser=0007\r\n[GXAPI]\r\nFileName=\r\n' > "$ini"
product=$(sha256sum < "$ini")
install
[ "$(sha256sum < "$ini")" = "$product" ] || fail "setup changed the product's QFSCH.INI"
uninstall
[ "$(sha256sum < "$ini")" = "$product" ] || fail "uninstaller changed the product's QFSCH.INI"
echo "install round trip of $(basename "$setup"): layout, registration, log-on start, printed fax, uninstall"
