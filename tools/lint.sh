#!/usr/bin/env bash
# Static analysis: clang-tidy with the checks in .clang-tidy, then cppcheck.
# Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-lint -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DDECODE_TESTS=OFF >/dev/null
# The sources this system builds: the other systems' are left to their
# compilers.
mapfile -t sources < <(/usr/bin/python3 -c '
import json, os, sys
for entry in json.load(open("build-lint/compile_commands.json")):
    path = os.path.relpath(entry["file"])
    if path.split("/")[0] in ("src", "tools", "bench"): print(path)' | sort -u)
echo "== clang-tidy =="
clang-tidy -p build-lint --quiet "${sources[@]}" 2>/dev/null
echo "== cppcheck =="
# Left out: a raw loop where an algorithm would do (a taste, not a fault),
# and a local that shares a name with a member function of another class
# (every view's member is `record`, and so are the records it reads).
cppcheck --quiet --enable=warning,style,performance,portability --std=c++20 --error-exitcode=1 \
  --suppress=useStlAlgorithm --suppress=shadowFunction \
  --inline-suppr -I include -I src src tools bench fuzz
echo "static analysis: clean"
