#!/bin/sh
# The setup on a machine without the fax product, in one fresh prefix, as a user and a
# deployment tool use it:
# 1. a folder standard users cannot write, and a quoted /D=, are refused; the trial into
#    /D=C:\APPS\KELVARIN: the layout, QFSCH.INI naming that folder, the imaging control
#    registered through ZEP.EXE, the Apps entry, TAVON.EXE started at log-on for the
#    machine, and a letter printed through it reaching the scheduler the settings name;
# 2. while TAVON runs: a setup older than the installation and one over the other
#    bitness's installation are refused and change nothing; an upgrade from a version
#    that started TAVON per account ends TAVON, replaces it, registers the control
#    again, moves the start to the machine and starts TAVON again, with exit 0;
# 3. the Apps entry's quiet uninstall, with TAVON running: everything it installed is
#    gone when it returns; the settings file and the faxes stay;
# 4. a settings file of the product's (no product library): kept as it is by the setup
#    and the uninstaller; a file there that is not ours makes the trial refuse; with
#    TAVON running where the setup cannot end it, a repair and the uninstall fail
#    without a change.
# Usage: round_trip.sh SETUP.EXE PREFIX
. "$(dirname "$0")/setup_lib.sh"
programs="TAVON.EXE ORVIKCTR.DLL FAXPRINT.EXE QUEUEMGR.EXE ZEP.EXE IMOCX32.OCX IMTWAIN3.OCX"
controls="IMOCX32.OCX IMTWAIN3.OCX"

# install DIR (as C:\...): the trial's layout in DIR.
install_checks() {
    dir=$1
    unix="$drive/$(echo "${dir#C:\\}" | tr '\\' /)"
    for f in $programs $uninstaller; do [ -f "$unix/$f" ] || fail "$dir\\$f missing"; done
    for d in FAX/ADMIN FAX/USERS/0001; do [ -d "$drive/$d" ] || fail "C:\\$d missing"; done
    for f in $controls; do [ -f "$sysdir/$f" ] || fail "$f not in the system directory ($system)"; done
    registry_has "$clsid\\InprocServer32" || fail "imaging control not registered"
    grep -q "registered IMOCX32.OCX and IMTWAIN3.OCX" "$unix/ZEP.LOG" || fail "ZEP.EXE did not register"
    [ "$(started_by "$run_key")" = "\"$dir\\TAVON.EXE\"" ] || fail "TAVON.EXE not started at log-on from $dir"
    [ -z "$(started_by "$account_run_key")" ] || fail "TAVON.EXE started at log-on per account"
    [ "$(apps_value KelvarinMode)" = trial ] || fail "not recorded as the trial"
    apps_entry_checks "$unix/$uninstaller" $(for f in $programs; do echo "$unix/$f"; done) \
        $(for f in $controls; do echo "$sysdir/$f"; done)
}

# uninstalled DIR: nothing of the setup's is left, the moment the uninstall returned.
uninstalled() {
    unix="$drive/$(echo "${1#C:\\}" | tr '\\' /)"
    left=$(ls "$unix" 2>/dev/null | grep -vx outbox || true)
    [ -z "$left" ] || fail "uninstall left in $1: $left"
    [ ! -e "$drive/FAX" ] || fail "uninstall left $(cd "$drive" && find FAX | tr '\n' ' ')"
    for f in $controls; do [ ! -e "$sysdir/$f" ] || fail "$f left in $system"; done
    ! registry_has "$clsid" || fail "imaging control still registered"
    [ -z "$(started_by "$run_key")" ] || fail "log-on start left"
    ! registry_has "$uninstall_key" || fail "Apps entry left"
    [ -z "$(tavon_pids)" ] || fail "TAVON.EXE still runs"
    [ -f "$ini" ] || fail "QFSCH.INI removed"
}

# Waits until TAVON.EXE serves the printer pipe.
tavon_serves() {
    deadline=$(($(date +%s) + 60))
    until "$run" "$1\\FAXPRINT.EXE" --raw 7 2>/dev/null; do
        [ "$(date +%s)" -lt "$deadline" ] || fail "TAVON.EXE does not serve the printer pipe"
        sleep 0.2
    done
}

# 1. Folders refused: one standard users cannot write, and a /D= in quotes, which NSIS
# would pass over. Given as a deployment tool's command line, through cmd.exe (which
# lays the prefix out, first).
"$run" cmd /c exit 0
for folder in '/D=C:\Program Files\Kelvarin' '"/D=C:\Program Files\Kelvarin"'; do
    # Z: is Wine's drive for the Unix root.
    printf '@"Z:%s" /S %s\r\n' "$(echo "$setup" | tr / '\\')" "$folder" > "$drive/setup.bat"
    status=0
    "$run" cmd /c 'C:\setup.bat' >/dev/null 2>&1 || status=$?
    [ "$status" = 3 ] || fail "setup /S $folder exited with $status, not 3"
    ! registry_has "$uninstall_key" && [ ! -e "$drive/FAX" ] && [ ! -e "$drive/Program Files/Kelvarin" ] ||
        fail "setup /S $folder installed"
done
rm "$drive/setup.bat"

# The trial where the user asks for it.
apps='C:\APPS\KELVARIN'
prog="$drive/APPS/KELVARIN"
run_setup 0 "/D=$apps"
install_checks "$apps"
[ ! -e "$drive/FAX/PROG" ] || fail "C:\\FAX\\PROG laid out despite /D="
[ "$(tr -d '\r' < "$ini")" = "$(printf '[Quilfa]\nProgDir=C:\\APPS\\KELVARIN\\\nPrivateDir=C:\\FAX\\USERS\\0001\\\nUser=0001')" ] ||
    fail "QFSCH.INI written as: $(cat "$ini")"
written=$(cat "$ini")

# Log-on: Wine's wineboot without options starts the Run entries, as Windows does.
"$run" wineboot
tavon_serves "$apps"
cp "$scripts/sample_letter.txt" "$drive/APPS/letter.txt"
"$run" "$apps\\FAXPRINT.EXE" 'C:\APPS\letter.txt' >/dev/null || fail "printing failed"
deadline=$(($(date +%s) + 60))
until grep -q "queued " "$prog/outbox/queue.log" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "no fax reached $apps\\outbox (the scheduler ProgDir names)"
    sleep 0.2
done
fax=$(ls "$prog"/outbox/FAX-*.TIF)

# 2. Refusals change nothing, and leave TAVON running.
tavon=$(tavon_pids)
[ -n "$tavon" ] || fail "no TAVON.EXE process found"
state() { sha256sum "$prog"/*.EXE "$prog"/*.DLL "$prog/ZEP.LOG" "$ini"; }
kept=$(state)
"$run" reg add "$uninstall_key" /v DisplayVersion /d 99.0.0 /f "$view" >/dev/null
run_setup 3
[ "$(apps_value DisplayVersion)" = 99.0.0 ] || fail "an older setup changed the Apps entry"
"$run" reg add "$uninstall_key" /v InstallLocation /d 'C:\OTHER' /f "$other_view" >/dev/null
"$run" reg add "$uninstall_key" /v DisplayVersion /d 0.9.0 /f "$view" >/dev/null
run_setup 3
"$run" reg delete "$uninstall_key" /f "$other_view" >/dev/null
[ "$(state)" = "$kept" ] || fail "a refused setup changed files"
[ "$(tavon_pids)" = "$tavon" ] || fail "a refused setup ended TAVON.EXE"

# An upgrade while TAVON runs, from a version that started it per account.
"$run" reg add "$account_run_key" /v Kelvarin /d "\"$apps\\TAVON.EXE\"" /f >/dev/null
run_setup 0
install_checks "$apps"
[ "$(grep -c "registered IMOCX32.OCX and IMTWAIN3.OCX" "$prog/ZEP.LOG")" = 2 ] ||
    fail "ZEP.EXE did not register the control again: $(cat "$prog/ZEP.LOG")"
case "$(ps -o stat= -p "$tavon")" in "" | Z*) ;; *) fail "the setup did not end the running TAVON.EXE" ;; esac
tavon_serves "$apps"
[ -n "$(tavon_pids)" ] || fail "the setup did not start TAVON.EXE again"

# 3. The quiet uninstall, with TAVON running.
quiet_uninstall
uninstalled "$apps"
[ "$(cat "$ini")" = "$written" ] || fail "QFSCH.INI changed by the uninstaller"
[ -f "$fax" ] && [ -f "$prog/outbox/queue.log" ] || fail "the fax was removed"

# 4. The product's own settings file is kept as it is.
printf '[Quilfa]\r\nProgDir=C:\\FAX\\PROG\\\r\nPrivateDir=C:\\FAX\\USERS\\0007\\\r\nUser=0007\r\n[GXAPI]\r\nFileName=\r\n' > "$ini"
product=$(sha256sum < "$ini")
# A file there that is not ours is not replaced by the trial.
mkdir -p "$drive/FAX/PROG"
echo "the product's scheduler" > "$drive/FAX/PROG/QUEUEMGR.EXE"
run_setup 3
[ "$(cat "$drive/FAX/PROG/QUEUEMGR.EXE")" = "the product's scheduler" ] && [ ! -e "$drive/FAX/PROG/TAVON.EXE" ] ||
    fail "the trial replaced a file that is not Kelvarin's"
rm -r "$drive/FAX"
run_setup 0
install_checks 'C:\FAX\PROG'
[ "$(sha256sum < "$ini")" = "$product" ] || fail "setup changed the product's QFSCH.INI"
# TAVON running for another user, here on another desktop, whose windows the setup cannot
# reach: a repair and the uninstall fail, and change nothing.
"$run" explorer /desktop=other,640x480 'C:\FAX\PROG\TAVON.EXE' &
tavon_serves 'C:\FAX\PROG'
installed=$(sha256sum "$drive"/FAX/PROG/*)
run_setup 2
quiet_uninstall 2
[ "$(sha256sum "$drive"/FAX/PROG/*)" = "$installed" ] && registry_has "$uninstall_key" ||
    fail "a setup or uninstall changed the installation while TAVON.EXE ran on another desktop"
kill $(tavon_pids)
while [ -n "$(tavon_pids)" ]; do sleep 0.2; done
quiet_uninstall
uninstalled 'C:\FAX\PROG'
[ "$(sha256sum < "$ini")" = "$product" ] || fail "uninstaller changed the product's QFSCH.INI"
echo "install round trip of $(basename "$setup"): /D= with the settings following, printed fax, refused downgrade and bitness, upgrade while TAVON runs, quiet uninstall done when it returns"
