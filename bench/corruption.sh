#!/usr/bin/env bash
# What damage costs with and without salvage, on five recordings. Four are
# made by the sample generator: an hour at rest; a three-hour deployment
# (dives, rough water, five minutes lost); an hour on a card whose file was
# made at its full size, with a megabyte never written at its end; and an
# hour in a file that never had a header (read from its first second
# marker on, as a file that goes on from another). The fifth, which salvage
# was not tuned to, comes from a generator of its own: 15 minutes of a
# logger lying nearly still, whose bytes are mostly 0x00 and 0xFF.
#
#   bench/corruption.sh [trials per kind] [recording ...]
#
# The recordings are hour, deployment, card, headerless and smooth; all of
# them when none is named.
set -euo pipefail
cd "$(dirname "$0")/.."
trials=${1:-200}
shift || true
recordings=("$@")
[ ${#recordings[@]} -gt 0 ] || recordings=(hour deployment card headerless smooth)

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDECODE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target makeSample smoothMotion corruption >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-bench/makeSample "$work/hour.dat" 3600
build-bench/makeSample "$work/deployment.dat" 10800 deployment
{ cat "$work/hour.dat"; head -c 1048576 /dev/zero; } > "$work/card.dat"
# The header and the index entry after it: 18 + 32 bytes.
tail -c +51 "$work/hour.dat" > "$work/headerless.dat"
build-bench/smoothMotion "$work/smooth.dat" 900 1
for recording in "${recordings[@]}"; do
  build-bench/corruption "$work/$recording.dat" "$trials"
  echo
done
