#!/bin/sh
# Times whole print jobs under Wine: FAXPRINT renders and spools N pages, TAVON merges
# them and hands them to QUEUEMGR, which queues the fax; first as in use, then in debug
# mode ("/D", every step logged and painted). Prints, per mode and job size, the printer's
# time and the program's time from the end of the print to the queued fax, less the
# program's fixed 4 s pause; then, per job size, the best of its runs in each mode and
# the debug mode's cost as a ratio. A size named more than once runs that many times.
# Usage: bench/job_road_bench.sh WIN_BUILD_DIR [PAGES...]   (default: 10 100)
set -e
win=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")/../scripts" && pwd)
if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$win" "$@"
fi
[ $# -gt 0 ] || set -- 10 100

prefix="$win/../wineprefix-bench"
rm -rf "$prefix" "$prefix.lock"
"$here/install.sh" "$win" "$prefix" >/dev/null
export WINEPREFIX=$(cd "$prefix" && pwd)
run="$here/wine-run.sh"
prog="$WINEPREFIX/drive_c/FAX/PROG"
trap 'wineserver -k 2>/dev/null || true' EXIT
"$run" 'C:\FAX\PROG\ZEP.EXE' /RTAVON
cp "$here/sample_letter.txt" "$WINEPREFIX/drive_c/FAX/letter.txt"
now() { date +%s.%N; }
# Prints the time at which the queue log holds more than $1 queued faxes; polled without
# starting a process each time, so the wait adds little to what is measured. A fax that
# never comes (a box the program shows) ends the benchmark after 120 s.
queued_at() {
    python3 - "$prog/outbox/queue.log" "$1" <<'PY'
import sys, time
log, before = sys.argv[1], int(sys.argv[2])
deadline = time.time() + 120
while time.time() < deadline:
    try:
        with open(log, "rb") as f:
            if f.read().count(b"queued ") > before:
                print("%.6f" % time.time())
                sys.exit(0)
    except OSError:
        pass
    time.sleep(0.002)
sys.exit(1)
PY
}
# One job of N pages; prints the line and leaves the program's seconds in $took.
job() {
    pages=$1 mode=$2
    queued_before=$(grep -c "queued " "$prog/outbox/queue.log" 2>/dev/null) || queued_before=0
    start=$(now)
    "$run" 'C:\FAX\PROG\FAXPRINT.EXE' --pages "$pages" 'C:\FAX\letter.txt' >/dev/null
    printed=$(now)
    done_at=$(queued_at "$queued_before") ||
        { echo "job_road_bench: no queued fax for $pages pages${mode:+, $mode}" >&2; exit 1; }
    took=$(echo "$done_at - $printed - 4" | bc)
    echo "$pages pages${mode:+, $mode}: printer $(echo "$printed - $start" | bc) s," \
         "program to queued fax $took s (less the 4 s pause)"
}

for mode in "" /D; do
    "$run" 'C:\FAX\PROG\TAVON.EXE' $mode &
    until "$run" 'C:\FAX\PROG\FAXPRINT.EXE' --raw 7 2>/dev/null; do sleep 0.2; done
    for pages in "$@"; do
        job "$pages" "$mode"
        var=best_${mode:+debug_}$pages
        eval "best=\${$var:-}"
        if [ -z "$best" ] || [ "$(echo "$took < $best" | bc)" = 1 ]; then eval "$var=$took"; fi
    done
    "$run" taskkill /IM TAVON.EXE /F >/dev/null 2>&1
    wait
done
for pages in $(printf '%s\n' "$@" | sort -nu); do
    eval "plain=\$best_$pages debug=\$best_debug_$pages"
    echo "$pages pages, best: without /D $plain s, with /D $debug s;" \
         "/D / without: $(echo "scale=1; $debug / $plain" | bc)"
done
