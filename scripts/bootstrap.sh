#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
# wine32 (i386) lets the 64-bit Wine prefix run the 32-bit build too.
set -e
need=""
for pkg in cmake ninja-build g++ clang clang-format libclang-rt-14-dev googletest \
           g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
           wine wine64 wine32:i386 xvfb xauth libtiff-tools imagemagick nsis zip unzip strace; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need="$need $pkg"
done
[ -z "$need" ] && exit 0
echo "bootstrap: installing$need"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq $need >/dev/null
