#!/bin/sh
# What `make test` runs of the sanitizer build: the engine's unit tests under ASan and
# UBSan, then each fuzz target for 30 seconds.
#   usage: fuzz/smoke_test.sh BUILD_DIR
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$1
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2 --target tiff_tests_sanitized
"$build/tiff_tests_sanitized" --gtest_brief=1
"$here/run.sh" "$build" 60
