#!/bin/sh
# Gathers the release: each Windows tree's zip and setup (built by installer/) into one
# folder, with SHA256SUMS.TXT over them.
# Usage: dist.sh DIST_DIR WIN_DIR...
set -e
dist=$1
shift
mkdir -p "$dist"
rm -f "$dist"/Kelvarin-* "$dist/SHA256SUMS.TXT"
for win in "$@"; do
    cp "$win"/dist/Kelvarin-*.zip "$win"/dist/Kelvarin-*-setup.exe "$dist/"
done
cd "$dist"
sha256sum Kelvarin-* > SHA256SUMS.TXT
echo "dist: $(pwd)"
ls -l Kelvarin-* SHA256SUMS.TXT | awk '{printf "    %9d  %s\n", $5, $9}'
