#!/bin/sh
# The setup on a machine with the fax product: a fake product on drive D: (its own
# ORVIKCTR.DLL and TAVON.EXE, built as a vendor builds them, with the vendor's version
# resource; its other files; its imaging control in the system directory, registered to
# its file; QFSCH.INI naming D:\FAXPROG\). Install (with a /D= the product's folder
# overrides), reinstall and the quiet uninstall add and remove only our TAVON.EXE, the
# uninstaller, the log-on start and the Apps entry; the product's TAVON.EXE is kept
# beside ours and put back; every product file and the control's registration stay byte
# for byte as they were. No start of our own is added where the product starts TAVON.EXE
# itself (a Run value, a Startup shortcut). A product of the other bitness is refused,
# and so is a foreign TAVON.EXE beside the one kept.
# Usage: product_machine.sh SETUP.EXE PREFIX VENDOR_ORVIKCTR.DLL VENDOR_PROGRAM.EXE
. "$(dirname "$0")/setup_lib.sh"
vendor_dll=$3
kept=TAVON.EXE.ORIGINAL

# The product's control, registered as its own registration tool leaves it.
"$run" reg add "$clsid" /ve /d "Quilfa imaging control" /f "$view" >/dev/null
"$run" reg add "$clsid\\InprocServer32" /ve /d "C:\\windows\\$system\\IMOCX32.OCX" /f "$view" >/dev/null
"$run" reg add "$clsid\\InprocServer32" /v ThreadingModel /d Apartment /f "$view" >/dev/null
# The registration as reg shows it, into the file $1; a reg that fails says so.
registration() {
    "$run" reg query "$clsid" /s "$view" > "$1" || fail "reg could not read the control's registration (exit $?)"
}
registered="$WINEPREFIX/registered"
registration "$registered"
grep -q 'Quilfa imaging control' "$registered" || fail "could not register the product's control"

product="$WINEPREFIX/drive_d/FAXPROG"
mkdir -p "$product"
ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"
printf '[Quilfa]\r\nProgDir=D:\\FAXPROG\\\r\nPrivateDir=D:\\FAXUSER\\0003\\\r\nUser=0003\r\n' > "$ini"
for f in QUEUEMGR.EXE ZEP.EXE FAXPRINT.EXE UNINSTALL.EXE; do echo "product's $f" > "$product/$f"; done
for f in IMOCX32.OCX IMTWAIN3.OCX; do echo "product's $f" > "$sysdir/$f"; done
cp "$4" "$product/TAVON.EXE"

# A product of the other bitness first: the setup's TAVON.EXE could not load its library.
cp "$vendor_dll" "$product/ORVIKCTR.DLL"
pe=$(od -An -tu4 -j60 -N4 "$vendor_dll" | tr -d ' ')
case "$setup" in *-win32-setup.exe) other='\144\206' ;; *) other='\114\001' ;; esac
printf "$other" | dd of="$product/ORVIKCTR.DLL" bs=1 seek=$((pe + 4)) conv=notrunc 2>/dev/null
run_setup 3
cmp -s "$4" "$product/TAVON.EXE" && [ ! -e "$product/$kept" ] && ! registry_has "$uninstall_key" ||
    fail "the setup installed beside a product of the other bitness"
cp "$vendor_dll" "$product/ORVIKCTR.DLL"

# Every product file by its hash (its TAVON.EXE where it is: kept aside while ours is
# installed), and the program directory's listing.
product_files() {
    (cd "$product" && sha256sum $(ls | grep -vx "TAVON.EXE\|$kept\|$uninstaller") &&
        if [ -e $kept ]; then sha256sum < $kept; else sha256sum < TAVON.EXE; fi)
    sha256sum "$sysdir/IMOCX32.OCX" "$sysdir/IMTWAIN3.OCX" "$ini"
}
before=$(product_files)
listing=$(ls "$product")
untouched() {
    [ "$(product_files)" = "$before" ] || fail "$1 changed the product's files:
$(product_files)"
    registration "$WINEPREFIX/seen"
    cmp -s "$WINEPREFIX/seen" "$registered" || fail "$1 changed the control's registration:
$(tr -d '\r' < "$WINEPREFIX/seen")"
    [ ! -e "$drive/FAX" ] || fail "$1 laid out C:\\FAX"
}

# installed WHAT START: our TAVON.EXE beside the product, started at log-on by START
# (empty: not by us).
installed() {
    [ "$(ls "$product")" = "$(printf '%s\n' $listing $kept $uninstaller | sort)" ] ||
        fail "$1: D:\\FAXPROG holds $(ls "$product" | tr '\n' ' ')"
    [ "$(strings -el "$product/TAVON.EXE" | grep -A1 -x CompanyName | sed -n 2p)" = Kelvarin ] ||
        fail "$1: D:\\FAXPROG\\TAVON.EXE is not ours"
    [ "$(apps_value KelvarinMode)" = product ] || fail "$1: not recorded as installed beside the product"
    [ "$(apps_value InstallLocation)" = 'D:\FAXPROG' ] || fail "$1: installed in $(apps_value InstallLocation)"
    apps_entry_checks "$product/TAVON.EXE" "$product/$uninstaller"
    [ "$(started_by "$run_key")" = "$2" ] || fail "$1: started at log-on by '$(started_by "$run_key")', not '$2'"
    [ -z "$(started_by "$account_run_key")" ] || fail "$1: TAVON.EXE started at log-on per account"
    untouched "$1"
}

run_setup 0 '/D=C:\ELSEWHERE'
[ ! -e "$drive/ELSEWHERE" ] || fail "the setup installed into /D=C:\\ELSEWHERE, not beside the product"
installed install '"D:\FAXPROG\TAVON.EXE"'
# The product starts TAVON.EXE itself: by a Run value of its own, then by a shortcut in
# the Startup folder for all users.
"$run" reg add "$run_key" /v "Quilfa fax" /d 'D:\FAXPROG\TAVON.EXE /MIN' /f "$view" >/dev/null
run_setup 0
installed "reinstall beside the product's Run value"
"$run" reg delete "$run_key" /v "Quilfa fax" /f "$view" >/dev/null
startup='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp'
printf 'Set l = CreateObject("WScript.Shell").CreateShortcut("%s\\Quilfa fax.lnk")\r\nl.TargetPath = "D:\\FAXPROG\\TAVON.EXE"\r\nl.Save\r\n' \
    "$startup" > "$drive/shortcut.vbs"
"$run" wscript 'C:\shortcut.vbs' || fail "could not make the product's Startup shortcut"
run_setup 0
installed "reinstall beside the product's Startup shortcut"
# A TAVON.EXE that is not ours beside the one kept (the product put a newer one back):
# which one the product needs is not the setup's to guess; refused, both stay.
cp "$product/TAVON.EXE" "$WINEPREFIX/ours"
echo "the product's newer TAVON.EXE" > "$product/TAVON.EXE"
run_setup 3
[ "$(cat "$product/TAVON.EXE")" = "the product's newer TAVON.EXE" ] && [ "$(product_files)" = "$before" ] ||
    fail "a setup beside a kept TAVON.EXE and another that is not ours changed them"
cp "$WINEPREFIX/ours" "$product/TAVON.EXE"

quiet_uninstall
[ "$(ls "$product")" = "$listing" ] || fail "uninstall left D:\\FAXPROG holding $(ls "$product" | tr '\n' ' ')"
! registry_has "$uninstall_key" || fail "Apps entry left"
untouched uninstall
echo "product machine, $(basename "$setup"): install, reinstalls beside the product's own log-on starts and quiet uninstall; the product's TAVON.EXE kept and put back, the rest untouched"
