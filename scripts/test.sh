#!/usr/bin/env bash
# Builds Parlix three ways and runs every test:
#   build/       all tests (warnings are errors)
#   build-asan/  every test that needs no window, under AddressSanitizer + UndefinedBehaviorSanitizer
#   build-fuzz/  libFuzzer targets: seed corpora replayed, then a bounded fuzzing run
# Exits non-zero on the first failing stage.
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$ROOT_DIR"
export QT_QPA_PLATFORM=offscreen

echo "== build (warnings as errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLIX_WERROR=ON
cmake --build build -j "$JOBS"
echo "== all tests"
ctest --test-dir build -LE fuzz --output-on-failure -j "$JOBS"

echo "== window-less tests under ASan + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLIX_WERROR=ON \
      -DPARLIX_SANITIZE=ON -DPARLIX_GUI=OFF -DPARLIX_BENCH=OFF
cmake --build build-asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan -LE "fuzz|window" --output-on-failure -j "$JOBS"

echo "== fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPARLIX_FUZZ=ON -DPARLIX_GUI=OFF -DPARLIX_BENCH=OFF -DPARLIX_FUZZ_SECONDS="${PARLIX_FUZZ_SECONDS:-30}"
cmake --build build-fuzz -j "$JOBS"
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j "$JOBS"
echo "== all test stages passed"
