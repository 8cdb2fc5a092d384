#!/bin/sh
# The setup on a machine with the fax product: a fake product on drive D: (its own
# ORVIKCTR.DLL, built as a vendor builds it, with the vendor's version resource; its
# other files; its imaging control in the system directory, registered to its file;
# QFSCH.INI naming D:\FAXPROG\). Install (with a /D= the product's folder overrides),
# reinstall and the quiet uninstall add and remove only TAVON.EXE, the uninstaller, the
# log-on start and the Apps entry; every product file and the control's registration
# stay byte for byte as they were. A product of the other bitness is refused.
# Usage: product_machine.sh SETUP.EXE PREFIX VENDOR_ORVIKCTR.DLL
. "$(dirname "$0")/setup_lib.sh"
vendor_dll=$3

# The product's control, registered as its own registration tool leaves it.
"$run" reg add "$clsid" /ve /d "Quilfa imaging control" /f "$view" >/dev/null
"$run" reg add "$clsid\\InprocServer32" /ve /d "C:\\windows\\$system\\IMOCX32.OCX" /f "$view" >/dev/null
"$run" reg add "$clsid\\InprocServer32" /v ThreadingModel /d Apartment /f "$view" >/dev/null
registration() { "$run" reg query "$clsid" /s "$view" | tr -d '\r'; }
registered=$(registration)
echo "$registered" | grep -q 'Quilfa imaging control' || fail "could not register the product's control"

product="$WINEPREFIX/drive_d/FAXPROG"
mkdir -p "$product"
ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"
printf '[Quilfa]\r\nProgDir=D:\\FAXPROG\\\r\nPrivateDir=D:\\FAXUSER\\0003\\\r\nUser=0003\r\n' > "$ini"
for f in QUEUEMGR.EXE ZEP.EXE FAXPRINT.EXE UNINSTALL.EXE; do echo "product's $f" > "$product/$f"; done
for f in IMOCX32.OCX IMTWAIN3.OCX; do echo "product's $f" > "$sysdir/$f"; done

# A product of the other bitness first: the setup's TAVON.EXE could not load its library.
cp "$vendor_dll" "$product/ORVIKCTR.DLL"
pe=$(od -An -tu4 -j60 -N4 "$vendor_dll" | tr -d ' ')
case "$setup" in *-win32-setup.exe) other='\144\206' ;; *) other='\114\001' ;; esac
printf "$other" | dd of="$product/ORVIKCTR.DLL" bs=1 seek=$((pe + 4)) conv=notrunc 2>/dev/null
run_setup 3
[ ! -e "$product/TAVON.EXE" ] && ! registry_has "$uninstall_key" ||
    fail "the setup installed beside a product of the other bitness"
cp "$vendor_dll" "$product/ORVIKCTR.DLL"

# Every product file by its hash, and the program directory's listing.
product_files() {
    (cd "$product" && sha256sum $(ls | grep -vx "TAVON.EXE\|$uninstaller"))
    sha256sum "$sysdir/IMOCX32.OCX" "$sysdir/IMTWAIN3.OCX" "$ini"
}
before=$(product_files)
listing=$(ls "$product")
untouched() {
    [ "$(product_files)" = "$before" ] || fail "$1 changed the product's files:
$(product_files)"
    [ "$(registration)" = "$registered" ] || fail "$1 changed the control's registration:
$(registration)"
    [ ! -e "$drive/FAX" ] || fail "$1 laid out C:\\FAX"
}

installed() {
    [ "$(ls "$product")" = "$(printf '%s\n' $listing TAVON.EXE $uninstaller | sort)" ] ||
        fail "$1: D:\\FAXPROG holds $(ls "$product" | tr '\n' ' ')"
    [ "$(apps_value KelvarinMode)" = product ] || fail "$1: not recorded as installed beside the product"
    [ "$(apps_value InstallLocation)" = 'D:\FAXPROG' ] || fail "$1: installed in $(apps_value InstallLocation)"
    "$run" reg query "$run_key" /v Kelvarin | tr -d '\r' | grep -qF '"D:\FAXPROG\TAVON.EXE"' ||
        fail "$1: TAVON.EXE not started at log-on from D:\\FAXPROG"
    untouched "$1"
}

run_setup 0 '/D=C:\ELSEWHERE'
[ ! -e "$drive/ELSEWHERE" ] || fail "the setup installed into /D=C:\\ELSEWHERE, not beside the product"
installed install
run_setup 0
installed reinstall

quiet_uninstall
[ "$(ls "$product")" = "$listing" ] || fail "uninstall left D:\\FAXPROG holding $(ls "$product" | tr '\n' ' ')"
! registry_has "$uninstall_key" || fail "Apps entry left"
! "$run" reg query "$run_key" /v Kelvarin >/dev/null 2>&1 || fail "log-on start left"
untouched uninstall
echo "product machine, $(basename "$setup"): install, reinstall and quiet uninstall beside the product, which stays untouched"
