#!/bin/sh
# ZEP.EXE beside another maker's imaging control, in one fresh prefix, as TAVON.EXE starts
# it (ZEP /RTAVON):
# 1. the class registered to the other maker's control elsewhere: ZEP copies and registers
#    nothing, says why in its log and on stderr, and exits with 3 once its box is closed;
# 2. a file of either control's name in the system directory that is not ours: the same,
#    and that file stays byte for byte;
# 3. on a clean system directory it installs and registers ours; unregistering ours
#    removes that registration, under either name of the file, and leaves one of the
#    other maker's file alone.
# Usage: foreign_control.sh SETUP.EXE PREFIX ZEP.EXE IMOCX32.OCX IMTWAIN3.OCX VENDOR_IMOCX32.OCX
# (the setup's name gives the tree's bitness: its system directory and registry view)
. "$(dirname "$0")/setup_lib.sh"
folder="$drive/KELVARIN"
log="$folder/ZEP.LOG"
mkdir -p "$folder" "$drive/OTHER"
cp "$3" "$folder/ZEP.EXE"
cp "$4" "$folder/IMOCX32.OCX"
cp "$5" "$folder/IMTWAIN3.OCX"
cp "$6" "$drive/OTHER/IMOCX32.OCX"
other='C:\OTHER\IMOCX32.OCX'

# The file the imaging control's class is registered to, or nothing.
registered() {
    "$run" reg query "$clsid\\InprocServer32" /ve "$view" 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *(Default) *REG_[A-Z_]* *//p'
}
regsvr32() {
    "$run" regsvr32 /s "$@" || fail "regsvr32 $* failed"
}
no_controls_copied() {
    for f in $1; do [ ! -e "$sysdir/$f" ] || fail "ZEP put $f into $system after refusing"; done
}

# refuses FILE: ZEP refuses, naming FILE (as Windows names it, matched by its end) and
# what to do; its box blocks until closed as a user closes it, then it exits with 3.
refuses() {
    rm -f "$log"
    "$run" 'C:\KELVARIN\ZEP.EXE' /RTAVON 2>"$WINEPREFIX/zep.err" &
    zep=$!
    deadline=$(($(date +%s) + 60))
    until grep -q "refused: " "$log" 2>/dev/null; do
        kill -0 "$zep" 2>/dev/null || fail "ZEP ended without refusing: $(cat "$log")"
        [ "$(date +%s)" -lt "$deadline" ] || fail "ZEP logged no refusal: $(cat "$log")"
        sleep 0.2
    done
    "$run" taskkill /im ZEP.EXE >/dev/null
    status=0
    wait "$zep" || status=$?
    [ "$status" = 3 ] || fail "ZEP exited with $status after refusing, not 3"
    words=$(sed -n 's/^.* refused: //p' "$log" | tr -d '\r')
    case "$words" in
        *"$1 is not Kelvarin's: "*"ZEP left it and its registration as they are"*"regsvr32 /u \""*"$1\")"*"start Kelvarin again"*) ;;
        *) fail "ZEP's refusal does not name $1 and what to do: $words" ;;
    esac
    grep -qF "ZEP: $words" "$WINEPREFIX/zep.err" || fail "ZEP's refusal is not on stderr: $(cat "$WINEPREFIX/zep.err")"
}

# 1. The other maker's control registered by its own DllRegisterServer.
regsvr32 "$other"
[ "$(registered)" = "$other" ] || fail "the other maker's control is not registered: $(registered)"
refuses "$other"
no_controls_copied "IMOCX32.OCX IMTWAIN3.OCX"
[ "$(registered)" = "$other" ] || fail "ZEP changed the registration of $other to $(registered)"

# 2. Unregistered; a file of the control's name in the system directory that is not ours.
"$run" reg delete "$clsid" /f "$view" >/dev/null
printf 'another maker\047s control.\n' > "$WINEPREFIX/foreign"
for name in IMOCX32.OCX IMTWAIN3.OCX; do
    cp "$WINEPREFIX/foreign" "$sysdir/$name"
    refuses "C:\\windows\\$system\\$name"
    cmp -s "$WINEPREFIX/foreign" "$sysdir/$name" || fail "ZEP changed $system\\$name"
    no_controls_copied "$(echo IMOCX32.OCX IMTWAIN3.OCX | sed "s/$name//")"
    ! registry_has "$clsid" || fail "ZEP registered a control beside a foreign $name: $(registered)"
    rm "$sysdir/$name"
done

# 3. A clean system directory: ZEP installs and registers ours there.
rm -f "$log"
"$run" 'C:\KELVARIN\ZEP.EXE' /RTAVON || fail "ZEP failed on a clean system directory: $(cat "$log")"
for f in IMOCX32.OCX IMTWAIN3.OCX; do cmp -s "$folder/$f" "$sysdir/$f" || fail "ZEP did not install $f"; done
case "$(registered)" in *'\IMOCX32.OCX') ;; *) fail "ZEP did not register IMOCX32.OCX: $(registered)" ;; esac
# Unregistered by the name the host gives the tree's system directory: for the 32-bit
# tree syswow64, which ZEP, a 32-bit program, calls system32.
ours="C:\\windows\\$system\\IMOCX32.OCX"
regsvr32 /u "$ours"
! registry_has "$clsid" || fail "unregistering ours left its registration: $(registered)"
regsvr32 "$other"
regsvr32 /u "$ours"
[ "$(registered)" = "$other" ] || fail "unregistering ours removed the other maker's registration: $(registered)"
echo "ZEP beside another maker's control, $(basename "$setup"): nothing copied or registered over it, said in words; ours unregistered only where it is registered"
