#!/bin/sh
# The release zip: exactly the program, the stand-ins, README.TXT and SHA256SUMS.TXT in
# one versioned folder, the checksums right, and every binary's version resource
# stamped with the project's version.
# Usage: package_test.sh PACKAGE.zip VERSION
set -e
zip=$1
version=$2
package=$(basename "$zip" .zip)
fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"

binaries="TAVON.EXE STANDINS/ORVIKCTR.DLL STANDINS/FAXPRINT.EXE STANDINS/QUEUEMGR.EXE
          STANDINS/ZEP.EXE STANDINS/IMOCX32.OCX STANDINS/IMTWAIN3.OCX"
expected=$(for f in $binaries README.TXT SHA256SUMS.TXT; do echo "$package/$f"; done | sort)
actual=$(cd "$work" && find . -type f | sed 's|^\./||' | sort)
[ "$actual" = "$expected" ] || fail "zip holds
$actual
expected
$expected"

(cd "$work/$package" && sha256sum --quiet -c SHA256SUMS.TXT) || fail "checksums do not match"
for f in $binaries README.TXT; do
    grep -q "  $f\$" "$work/$package/SHA256SUMS.TXT" || fail "SHA256SUMS.TXT misses $f"
done
grep -q "Kelvarin $version" "$work/$package/README.TXT" || fail "README.TXT does not name version $version"

# The version resource's strings are UTF-16: FileVersion and ProductVersion, each
# followed by its value.
for f in $binaries; do
    strings -el "$work/$package/$f" > "$work/strings"
    for key in FileVersion ProductVersion; do
        value=$(grep -A1 -x "$key" "$work/strings" | sed -n 2p)
        [ "$value" = "$version" ] || fail "$f: $key is '$value', not $version"
    done
    name=$(grep -A1 -x OriginalFilename "$work/strings" | sed -n 2p | tr a-z A-Z)
    [ "$name" = "$(basename "$f")" ] || fail "$f: OriginalFilename is '$name'"
done
echo "package $package: files, checksums and version $version checked"
