#!/bin/sh
# The program binds to the printer-pipe library by the plain names a vendor's library
# exports (stdcall on 32-bit Windows): TAVON.EXE imports exactly those two from
# ORVIKCTR.DLL, and both our stand-in and the vendor-built test library export exactly
# them. A decorated name ("WaitForPrnPipe@8", "_WaitForPrnPipe@8") would not load.
# Usage: binding_check.sh OBJDUMP TAVON.EXE STANDIN.DLL VENDOR.DLL
set -e
objdump=$1
expected="EndWaitPrnPipe
WaitForPrnPipe"
failed=0

# The names TAVON.EXE imports from ORVIKCTR.DLL.
imports() {
    "$objdump" -p "$1" | awk '
        /DLL Name:/ { from = toupper($3) }
        from == "ORVIKCTR.DLL" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]/ { print $3 }' | sort
}
# The names a library exports.
exports() {
    "$objdump" -p "$1" | awk '
        /\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
        table && /^\t\[ *[0-9]+\]/ { print $NF; next }
        table { table = 0 }' | sort
}
check() {
    if [ "$2" != "$expected" ]; then
        echo "FAIL: $1:" $2 "(expected:" $expected ")" >&2
        failed=1
    fi
}

check "$(basename "$2") imports from ORVIKCTR.DLL" "$(imports "$2")"
check "stand-in ORVIKCTR.DLL exports" "$(exports "$3")"
check "vendor-built ORVIKCTR.DLL exports" "$(exports "$4")"
[ $failed = 0 ] || exit 1
echo "printer-pipe binding: plain names imported and exported:" $expected
