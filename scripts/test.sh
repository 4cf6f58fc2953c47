#!/usr/bin/env bash
# Installs what is missing, builds, runs the whole test suite, then builds
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs the unit
# tests again under them.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"

jobs="${CRAWLER_JOBS:-2}"
bash scripts/install_deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

if [ "${CRAWLER_SKIP_SANITIZE:-0}" != "1" ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCRAWLER_SANITIZE=ON
  cmake --build build-asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -L unit --output-on-failure -j"$jobs" --timeout 600
fi
