#!/usr/bin/env bash
# Installs what is missing, builds every test and runs them with ctest; then
# builds them again with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs them once more; last, fuzzes the parsers and input checks for a bounded
# time (scripts/fuzz.sh). Any failure or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== Build and test (warnings are errors)"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELK_WERROR=ON -DZELK_UNITY=ON >/dev/null
cmake --build build-test -j "$jobs"
ctest --test-dir build-test -j "$jobs" --output-on-failure --timeout 300

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELK_WERROR=ON -DZELK_UNITY=ON \
  -DZELK_SANITIZE=ON -DZELK_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:suppressions=$PWD/scripts/asan.supp"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 600

echo "== Fuzz the file readers and input checks"
bash scripts/fuzz.sh
