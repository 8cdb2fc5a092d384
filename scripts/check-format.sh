#!/bin/sh
# Fails when a C++ source of the tree is not as .clang-format lays it out; `make format`
# lays them out. Usage: check-format.sh CLANG_FORMAT
set -e
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs "$1" --dry-run --Werror
