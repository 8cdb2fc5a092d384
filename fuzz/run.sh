#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) in BUILD_DIR and runs
# them one after the other, SECONDS in all, starting from the committed seed corpus.
# New inputs gather in BUILD_DIR/corpus; a crash leaves its input in BUILD_DIR/artifacts
# and makes this exit non-zero.
#   usage: fuzz/run.sh BUILD_DIR SECONDS
set -e
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 2 ] || { echo "usage: fuzz/run.sh BUILD_DIR SECONDS" >&2; exit 2; }
build=$1
seconds=$2
targets="fuzz_read fuzz_append"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2 --target $targets

each=$((seconds / 2))
[ "$each" -gt 0 ] || each=1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -p "$build/artifacts"
for target in $targets; do
    mkdir -p "$build/corpus/$target"
    echo "fuzz: $target for $each s"
    TMPDIR=$scratch "$build/$target" -max_total_time="$each" -max_len=65536 -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$build/corpus/$target" "$here/corpus" 2>"$build/$target.log" ||
        { tail -n 60 "$build/$target.log"; exit 1; }
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+ *DONE' "$build/$target.log" || true
done
