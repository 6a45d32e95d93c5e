#!/usr/bin/env bash
# Static analysis: clang-tidy with the checks in .clang-tidy, then cppcheck.
# Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
sources=(src/*/*.cpp tools/*.cpp bench/*.cpp)

cmake -S . -B build-lint -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DDECODE_TESTS=OFF >/dev/null
echo "== clang-tidy =="
clang-tidy -p build-lint --quiet "${sources[@]}" 2>/dev/null
echo "== cppcheck =="
cppcheck --quiet --enable=warning,style,performance,portability --std=c++20 --error-exitcode=1 \
  --inline-suppr -I include -I src src tools bench fuzz
echo "static analysis: clean"
