#!/bin/sh
# A 16 KB disk for the tests of a full disk: "small_disk.sh mount DIR" mounts a
# size-limited tmpfs at DIR (as root), "small_disk.sh unmount DIR" takes it away.
set -e
dir=$2
case "$1" in
mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir"
    mount -t tmpfs -o size=16k,mode=0777 kelvarin-small-disk "$dir"
    ;;
unmount)
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir" 2>/dev/null || true
    ;;
*)
    echo "usage: small_disk.sh mount|unmount DIR" >&2
    exit 2
    ;;
esac
