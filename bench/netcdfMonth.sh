#!/usr/bin/env bash
# The memory --netcdf needs for a month of data at 100 samples a second:
# a 4.7 GB recording made by the sample generator, written as one netCDF
# file, with the peak resident memory and the time of the process.
#
#   bench/netcdfMonth.sh [days]
set -euo pipefail
cd "$(dirname "$0")/.."
days=${1:-30}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDECODE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target decode makeSample >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-bench/makeSample "$work/month.dat" $((days * 86400))
/usr/bin/time -f "--netcdf of $days days ($(stat -c %s "$work/month.dat") bytes): peak %M KiB, %e s" \
  build-bench/decode --netcdf="$work/month.nc" "$work/month.dat"
echo "netCDF file: $(stat -c %s "$work/month.nc") bytes"
