#!/usr/bin/env bash
# What damage costs with and without salvage, on four kinds of recording
# made by the sample generator: an hour at rest; a three-hour deployment
# (dives, rough water, five minutes lost); an hour on a card whose file was
# made at its full size, with a megabyte never written at its end; and an
# hour in a file that never had a header (read from its first second
# marker on, as a file that goes on from another).
#
#   bench/corruption.sh [trials per kind]
set -euo pipefail
cd "$(dirname "$0")/.."
trials=${1:-200}

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDECODE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target makeSample corruption >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-bench/makeSample "$work/hour.dat" 3600
build-bench/makeSample "$work/deployment.dat" 10800 deployment
{ cat "$work/hour.dat"; head -c 1048576 /dev/zero; } > "$work/card.dat"
# The header and the index entry after it: 18 + 32 bytes.
tail -c +51 "$work/hour.dat" > "$work/headerless.dat"
for recording in hour deployment card headerless; do
  build-bench/corruption "$work/$recording.dat" "$trials"
  echo
done
