#!/bin/sh
# The demo: the setup installed silently into a fresh Wine prefix, as a user installs it
# on Windows; TAVON.EXE started with /D; a sample letter printed through the fax printer
# stand-in; the fax the scheduler received shown, and a screenshot of the debug window.
# make demo gives it the 32-bit build, the one that loads beside the product, where this
# machine runs 32-bit programs, else the 64-bit one.
# Usage: demo.sh WIN_BUILD_DIR
set -e
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
win=$(cd "$1" && pwd)
case "$win" in
    */win64) "$here/runs-32bit.sh" || echo "demo: this machine cannot run 32-bit programs; showing the 64-bit build" ;;
esac

prefix="$win/../wineprefix"
rm -rf "$prefix" "$prefix.lock"
mkdir -p "$prefix"
export WINEPREFIX=$(cd "$prefix" && pwd)
run="$here/wine-run.sh"
prog="$WINEPREFIX/drive_c/FAX/PROG"
trap 'wineserver -k 2>/dev/null || true' EXIT

# Xvfb has no window manager: let Wine draw the frames and captions itself.
"$run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
"$here/install.sh" "$win" "$prefix"
echo "demo: ZEP registered the imaging control: $(tail -n 1 "$prog/ZEP.LOG" | tr -d '\r')"

"$run" 'C:\FAX\PROG\TAVON.EXE' /D &
cp "$here/sample_letter.txt" "$WINEPREFIX/drive_c/FAX/letter.txt"
# Printed as soon as TAVON.EXE serves the printer pipe; the last refusal is shown.
printed=no
for attempt in $(seq 1 40); do
    if "$run" 'C:\FAX\PROG\FAXPRINT.EXE' 'C:\FAX\letter.txt' 2>"$WINEPREFIX/faxprint.err"; then
        printed=yes
        break
    fi
    sleep 0.5
done
[ $printed = yes ] || { cat "$WINEPREFIX/faxprint.err" >&2; echo "demo: TAVON.EXE did not take the print job" >&2; exit 1; }

log="$prog/outbox/queue.log"
for attempt in $(seq 1 60); do
    grep -q -e "queued " -e "refused " "$log" 2>/dev/null && break
    sleep 0.5
done
echo "demo: the scheduler's log (C:\\FAX\\PROG\\outbox\\queue.log):"
tr -d '\r' < "$log" | sed 's/^/    /'
fax=$(ls "$prog"/outbox/FAX-*.TIF 2>/dev/null | head -n 1)
[ -n "$fax" ] || { echo "demo: no fax reached the outbox" >&2; exit 1; }
echo "demo: the fax: $fax"
tiffinfo "$fax" 2>/dev/null | grep -E "TIFF Directory|Image Width|Compression|Resolution" | sed 's/^/    /'

sleep 1
shot="$win/../demo-screenshot.png"
import -window Kelvarin "$shot"
echo "demo: screenshot of the debug window: $(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")"
