#!/usr/bin/env bash
# decode.exe: cross-compiled with MinGW-w64, packed in its release zip, and
# run under Wine against the Linux build in $1 (default build), which must
# be built already.
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}

page=""
[[ -f $linux/decode-web.html ]] && page=$(realpath "$linux/decode-web.html")
cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DDECODE_WEB_PAGE_FILE="$page" >/dev/null
cmake --build build-windows -j2

# One file that needs nothing but what every Windows has.
dlls=$(x86_64-w64-mingw32-objdump -p build-windows/decode.exe | awk '/DLL Name:/ { print $3 }' | LC_ALL=C sort | tr '\n' ' ')
[[ $dlls == "KERNEL32.dll SHELL32.dll msvcrt.dll " ]] || { echo "decode.exe needs $dlls" >&2; exit 1; }

(cd build-windows && cpack -G ZIP >/dev/null)
version=$(sed -n 's/^project(decode VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=build-windows/decode-$version-windows-x86_64.zip
/usr/bin/python3 - "$zip" "$page" <<'PY'
import sys, zipfile
names = sorted(zipfile.ZipFile(sys.argv[1]).namelist())
want = ["CHANGELOG.md", "LICENSE", "decode.exe", "decode.html"] + (["decode-web.html"] if sys.argv[2] else [])
want.sort()
assert names == want, f"{sys.argv[1]} holds {names}"
print(f"{sys.argv[1]}: {', '.join(names)}")
PY

cmake --build build-windows -j2 --target windows_tests holdLocked
tests/windows/differential.sh "$linux" build-windows .
