#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
set -e
need=""
for pkg in cmake ninja-build g++ clang libclang-rt-14-dev googletest \
           g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth libtiff-tools imagemagick; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need="$need $pkg"
done
[ -z "$need" ] && exit 0
echo "bootstrap: installing$need"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq $need >/dev/null
