#!/usr/bin/env bash
# Measures decode against an earlier revision of itself, and each table
# against the report mode it is held to, on a 50 MB recording made by the
# sample generator.
#
#   bench/run.sh [earlier revision] [rounds] [all]
#
# The default earlier revision is the last one before the tables, with the
# report read ahead on a second thread. With "all", every view is held to
# the earlier revision (which must have them all), not the tables to the
# report.
set -euo pipefail
cd "$(dirname "$0")/.."
earlier=${1:-2a4bf2a}
rounds=${2:-5}
against=${3:-}

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDECODE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target decode makeSample benchDecode >/dev/null

work=$(mktemp -d)
cleanup() { git worktree remove --force "$work/earlier" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
git worktree add -q --detach "$work/earlier" "$earlier"
cmake -S "$work/earlier" -B "$work/earlier/build" -DCMAKE_BUILD_TYPE=Release -DDECODE_TESTS=OFF >/dev/null
cmake --build "$work/earlier/build" -j2 --target decode >/dev/null

# 27600 seconds at 100 samples a second: about 50 MB.
build-bench/makeSample "$work/recording.dat" 27600
for switches in "" -t -d; do
  cmp -s <(build-bench/decode $switches "$work/recording.dat") \
         <("$work/earlier/build/decode" $switches "$work/recording.dat") ||
    { echo "reports differ under '$switches'" >&2; exit 1; }
done
build-bench/benchDecode "$work/recording.dat" "$work/earlier/build/decode" build-bench/decode "$rounds" $against
input=$(stat -c %s "$work/recording.dat")
netcdf=$(stat -c %s "$work/recording.dat.nc")
echo "netCDF file: $netcdf bytes for $input bytes of input, $(awk -v a="$netcdf" -v b="$input" 'BEGIN { printf "%.3f", a / b }') of it (target 0.125)"
