#!/usr/bin/env bash
# decode.exe under Wine against the Linux build, in the same run, on a 50 MB
# recording made by the sample generator: the report and --csv=data, each
# paired run by run, and Wine's own start-up (decode.exe --version), which
# a Windows machine does not pay.
#
#   bench/windows.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDECODE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target decode makeSample >/dev/null
cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-windows -j2 --target decode >/dev/null

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
mkdir "$WINEPREFIX" && wineserver --persistent && wineboot --init >/dev/null 2>&1

# 27600 seconds at 100 samples a second: about 50 MB.
build-bench/makeSample "$work/recording.dat" 27600
linux=$(realpath build-bench/decode) windows=$(realpath build-windows/decode.exe)
for view in "" --csv=data; do
  echo "== decode $view: Wine (A) against Linux (B) =="
  farm-bench -n "$runs" --timeout 600 --vs "sh -c 'exec $linux $view $work/recording.dat >/dev/null'" \
    -- sh -c "exec wine $windows $view $work/recording.dat >/dev/null"
done
echo "== Wine's start-up alone =="
farm-bench -n "$runs" -- sh -c "exec wine $windows --version >/dev/null"
