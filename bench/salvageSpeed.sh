#!/usr/bin/env bash
# What --salvage costs against the plain reading of the same file: on clean
# recordings (the sample generator's 50 MB, and four hours of a logger
# lying nearly still) it should be within 10% of plain; on 10 MB of random
# bytes, where it finds no framing, no more than 3 times plain. Plain and
# salvaged runs take turns, output to /dev/null; the ratio is of the
# medians of their processor times (user and system), which other work on
# a shared machine disturbs less than the wall time.
#
#   bench/salvageSpeed.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDECODE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target decode makeSample smoothMotion >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# 27600 seconds at 100 samples a second: about 50 MB.
build-bench/makeSample "$work/sample.dat" 27600
build-bench/smoothMotion "$work/smooth.dat" 14400 1
/usr/bin/python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(29).randbytes(10 * 1024 * 1024))' \
  > "$work/random.dat"

# Processor seconds of one run.
elapsed() {
  local TIMEFORMAT='%3U %3S' times
  times=$({ time build-bench/decode "$@" >/dev/null 2>&1; } 2>&1) || true
  awk '{ print $1 + $2 }' <<<"$times"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-8s %-10s %10s %10s %7s %7s\n' input view "plain ms" "salv. ms" ratio target
measure() {
  local input=$1 view=$2 target=$3 plain=() salvaged=()
  for ((round = 0; round < rounds; round++)); do
    plain+=("$(elapsed "$view" "$work/$input.dat")")
    salvaged+=("$(elapsed --salvage "$view" "$work/$input.dat")")
  done
  local p s
  p=$(printf '%s\n' "${plain[@]}" | median)
  s=$(printf '%s\n' "${salvaged[@]}" | median)
  awk -v i="$input" -v v="$view" -v p="$p" -v s="$s" -v t="$target" \
    'BEGIN { printf "%-8s %-10s %10.0f %10.0f %6.2fx %6.2fx\n", i, v, p * 1e3, s * 1e3, (p > 0 ? s / p : 0), t }'
}
for input in sample smooth; do
  for view in --csv=data --info --plot=-; do measure "$input" "$view" 1.10; done
done
for view in --csv=data --info --plot=-; do measure random "$view" 3.00; done
