#!/usr/bin/env bash
# Builds everything and runs the whole test suite (what CI runs), warnings being errors:
#   build/       Release build: unit and end-to-end tests;
#   build-asan/  clang with AddressSanitizer and UndefinedBehaviorSanitizer: the same tests;
#   build-fuzz/  the fuzz harnesses, each run for 30 seconds from its seeds;
#   build-windows/  the Windows cross-build: every test under Wine, and the ZIP package
#                   (tools/test-windows.sh; skipped with OMVO_SKIP_WINDOWS=1).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMVO_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOMVO_SANITIZE=ON -DOMVO_BUILD_BENCH=OFF -DOMVO_WERROR=ON
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOMVO_BUILD_FUZZERS=ON -DOMVO_BUILD_TESTS=OFF -DOMVO_BUILD_BENCH=OFF -DOMVO_WERROR=ON
cmake --build build-fuzz -j "$jobs"
tools/fuzz.sh build-fuzz 30

if [ "${OMVO_SKIP_WINDOWS:-0}" != 1 ]; then
  tools/test-windows.sh
fi
