#!/usr/bin/env bash
# Builds the libFuzzer target with clang++ and runs it.
#
#   fuzz/run.sh [seconds] [extra libFuzzer flags...]
#
# New inputs the fuzzer finds go to build-fuzz/corpus, faults to
# build-fuzz/crash-*; fuzz/corpus holds the seeds (a switch byte, then a
# record file) and is only read. To look at the recording a salvage check
# failed on: FUZZ_RECORDING_OUT=fails.dat build-fuzz/fuzzDecode build-fuzz/crash-*
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDECODE_FUZZ=ON -DDECODE_TESTS=OFF -DDECODE_WERROR=ON >/dev/null
cmake --build build-fuzz -j2 --target fuzzDecode

mkdir -p build-fuzz/corpus
# The sample recording, decoded without switches, seeds whole realistic files.
{ printf '\0'; cat examples/d0001.dat; } > build-fuzz/corpus/sample-recording
# The tables' messages about damaged files go to standard error, which
# libFuzzer closes for the target (it keeps its own copy for its reports).
build-fuzz/fuzzDecode -max_len=4096 -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=2 \
  -artifact_prefix=build-fuzz/ "$@" build-fuzz/corpus fuzz/corpus
