#!/bin/sh
# make bench: the benchmarks of the waits a user sees, then one table of this build's
# figures beside those measured before the speed work (2 cores, Wine). Ratios come from
# runs side by side; the absolute times move with the machine's load.
# Usage: bench/all.sh NATIVE_DIR WIN64_DIR
set -e
here=$(cd "$(dirname "$0")" && pwd)
native=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM

echo "== merge engine: bench/merge_bench.sh"
"$here/merge_bench.sh" "$native" | tee "$out/merge"
echo "== console: 10,000 log lines (console_bench.exe under Wine)"
"$here/../scripts/wine-run.sh" "$win/bin/console_bench.exe" | tr -d '\r' | tee "$out/console"
echo "== whole jobs under Wine: bench/job_road_bench.sh 10 100 100 100 (the 10-page job warms up)"
"$here/job_road_bench.sh" "$win" 10 100 100 100 | tee "$out/road"
echo "== a page's flushes, 100 pages in $win: the marker's line, the page's data, its link"
python3 - "$win" <<'PY' | tee "$out/flush"
import os, sys, time
merged = os.path.join(sys.argv[1], "flush-bench.tif")
marker = os.path.join(sys.argv[1], "flush-bench.mrg")
fd = os.open(merged, os.O_RDWR | os.O_CREAT | os.O_TRUNC, 0o644)
start = time.perf_counter()
for page in range(100):
    line = os.open(marker, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
    os.write(line, b"%d %d\n" % (page + 1, page))
    os.fsync(line)
    os.close(line)
    os.pwrite(fd, b"\0" * 4096, 8 + page * 4096)
    os.fsync(fd)
    os.pwrite(fd, b"\0" * 4, 4)
    os.fsync(fd)
seconds = time.perf_counter() - start
os.close(fd)
os.remove(merged)
os.remove(marker)
print("100 pages' flushes: %.3f s (%.2f ms a page)" % (seconds, seconds * 10))
PY

ratio=$(sed -n 's/^ratio=//p' "$out/merge")
line=$(sed -n 's/^without coLazyWrite, Write + RepaintNow *[0-9.]* ms *\([0-9.]*\) us\/line.*/\1/p' "$out/console")
seconds() { printf '%.2f' "$1"; }
plain=$(seconds "$(sed -n 's/^100 pages, best: without \/D \([0-9.-]*\) s.*/\1/p' "$out/road")")
debug=$(seconds "$(sed -n 's/^100 pages, best: .* with \/D \([0-9.-]*\) s;.*/\1/p' "$out/road")")
flush=$(sed -n "s/^100 pages' flushes: \([0-9.]*\) s.*/\1/p" "$out/flush")
echo
printf '%-58s %-13s %-13s %s\n' "Work" "before" "now" "goal"
printf '%-58s %-13s %-13s %s\n' "100-page job, end of print to queued fax, no /D (best of 3)" "0.66 s" "${plain} s" "0.3 s + flushes"
printf '%-58s %-13s %-13s %s\n' "  of which 3 flushes a page (300 flushes, measured)" "-" "${flush} s" "-"
printf '%-58s %-13s %-13s %s\n' "the same job with /D (best of 3)" "10.1 s" "${debug} s" "1.5 s"
printf '%-58s %-13s %-13s %s\n' "a log line, eager + RepaintNow (10,000 lines)" "6.7 ms" \
    "$(seconds "$(echo "$line / 1000" | bc -l)") ms" "1.5 ms"
printf '%-58s %-13s %-13s %s\n' "200 G3 1D pages to one G4 file, faster than tiffcp" "2.18x" "${ratio}x" "4x"
