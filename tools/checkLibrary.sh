#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds the example program
# against it, once through its CMake package and once through pkg-config,
# so that what `cmake --install` puts there is proven to work.
#
#   tools/checkLibrary.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
expected="d0001.dat: 2026-12-01T00:00:00.000Z to 2026-12-01T00:00:59.000Z, 6000 samples"

cmake -S examples/fileSpan -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
got=$(cd examples && "$work/cmake/fileSpan" d0001.dat)
[ "$got" = "$expected" ] || { echo "find_package build printed: $got" >&2; exit 1; }

PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name zolt.pc)") \
  sh -c 'g++ -std=c++20 examples/fileSpan/fileSpan.cpp $(pkg-config --cflags --libs zolt) -o "$1"' sh "$work/pkgconfig"
got=$(cd examples && "$work/pkgconfig" d0001.dat)
[ "$got" = "$expected" ] || { echo "pkg-config build printed: $got" >&2; exit 1; }
echo "library: the example builds against the installed package (CMake and pkg-config) and runs"
