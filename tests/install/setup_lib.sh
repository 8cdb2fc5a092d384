# Shared by the setup's tests (sourced): a fresh Wine prefix of the test's own, the
# setup's views of the system directory and the registry, and the setup and its quiet
# uninstall run as a deployment tool runs them.
# The sourcing script's arguments: SETUP.EXE PREFIX ...
set -e
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
mkdir -p "$2"
export WINEPREFIX=$(cd "$2" && pwd)
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
run="$scripts/wine-run.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
version=$(strings -el "$setup" | grep -A1 -x ProductVersion | sed -n 2p)

# The setup has the program's bitness and works in its views of the system directory
# and the registry; the other view is the other bitness's.
case "$setup" in
    *-win32-setup.exe) system=syswow64; view=/reg:32; other_view=/reg:64 ;;
    *) system=system32; view=/reg:64; other_view=/reg:32 ;;
esac

rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
trap 'wineserver -k 2>/dev/null || true' EXIT
drive="$WINEPREFIX/drive_c"
ini="$drive/windows/QFSCH.INI"
sysdir="$drive/windows/$system"
# The imaging control's class identifier (src/imaging/image_man.h).
clsid='HKCR\CLSID\{0EABA3C0-D884-101B-8CAE-00006E44AAB2}'
# The log-on start: per machine, in the machine's own (64-bit) view; earlier versions'
# per account.
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
account_run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvarin'
uninstaller=UNINSTALL-KELVARIN.EXE

registry_has() { "$run" reg query "$@" "$view" >/dev/null 2>&1; }
# The program started at log-on, by Kelvarin's own value under KEY, or nothing.
started_by() {
    "$run" reg query "$1" /v Kelvarin /reg:64 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *Kelvarin *REG_SZ *//p'
}
# The Apps entry's values a user sees, and the size of FILES... in KiB, rounded up.
apps_entry_checks() {
    kib=$(( ($(cat "$@" | wc -c) + 1023) / 1024 ))
    [ "$(apps_value DisplayName)" = Kelvarin ] || fail "Apps entry named '$(apps_value DisplayName)'"
    [ "$(apps_value Publisher)" = Kelvarin ] || fail "Apps entry published by '$(apps_value Publisher)'"
    [ "$(apps_value DisplayVersion)" = "$version" ] || fail "Apps entry names version $(apps_value DisplayVersion)"
    [ "$(($(apps_value EstimatedSize)))" = "$kib" ] ||
        fail "Apps entry's size is $(apps_value EstimatedSize) KiB, the files' $kib KiB"
}
# A value of the Apps entry, or nothing.
apps_value() {
    "$run" reg query "$uninstall_key" /v "$1" "$view" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}

# run_setup CODE [ARGS...]: the setup, silent; fails unless it exits with CODE.
run_setup() {
    expected=$1
    shift
    status=0
    "$run" "$setup" /S "$@" || status=$?
    [ "$status" = "$expected" ] || fail "setup /S $* exited with $status, not $expected"
}

# The Apps entry's QuietUninstallString, run as one command line through cmd.exe, as
# deployment tools run it; it must exit with CODE (0 if none given), and be done when it
# returns.
quiet_uninstall() {
    expected=${1:-0}
    string=$(apps_value QuietUninstallString)
    [ -n "$string" ] || fail "no QuietUninstallString in the Apps entry"
    printf '@%s\r\n' "$string" > "$drive/quiet-uninstall.bat"
    status=0
    "$run" cmd /c 'C:\quiet-uninstall.bat' >/dev/null || status=$?
    rm -f "$drive/quiet-uninstall.bat"
    [ "$status" = "$expected" ] || fail "quiet uninstall exited with $status, not $expected"
}

# The processes of this prefix's TAVON.EXE, by process id.
tavon_pids() {
    for pid in $(pgrep -f 'TAVON\.EXE' || true); do
        { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
    return 0
}
