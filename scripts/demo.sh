#!/bin/sh
# The demo: starts the program in its own Wine prefix and hands it a notification
# through the printer pipe, as the fax printer would.
set -e
win=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$win/wineprefix-demo"
run="$here/wine-run.sh"

if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

"$run" "$win/bin/TAVON.exe" /D &
tavon=$!
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true' EXIT

for attempt in $(seq 1 30); do
    if "$run" "$win/bin/FAXPRINT.exe" --raw 0 'C:\spool\demo.ini' 2>/dev/null; then
        echo "demo: TAVON.EXE is running and took a job notification through the printer pipe"
        exit 0
    fi
    sleep 1
done
echo "demo: TAVON.EXE did not answer on the printer pipe" >&2
exit 1
