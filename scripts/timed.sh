#!/bin/sh
# Runs a command and notes how long it took, as "PART: N s", in LOG and on the output.
# Usage: timed.sh LOG PART COMMAND...
log=$1 part=$2
shift 2
start=$(date +%s)
status=0
"$@" || status=$?
line="$part: $(( $(date +%s) - start )) s$([ "$status" = 0 ] || echo " (failed)")"
echo "time: $line"
mkdir -p "$(dirname "$log")"
echo "$line" >> "$log"
exit "$status"
