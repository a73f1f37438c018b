#!/usr/bin/env bash
# Installs what is missing, builds every test and runs them with ctest (and
# checks meanwhile that each test source and header compiles on its own); then
# builds them again with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# together with the fuzz targets, runs them once more and fuzzes the parsers and
# input checks for a bounded time (scripts/fuzz.sh). Any failure or sanitizer
# report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# Each step says when it starts, so a slow one shows.
phase() { echo "== $* (at ${SECONDS} s)"; }
# beside PRESET LOG TITLE COMMAND...: runs COMMAND into LOG while ctest runs
# the tests of PRESET, then shows LOG under TITLE; fails when either failed.
beside() {
  local preset=$1 log=$2 title=$3
  shift 3
  "$@" >"$log" 2>&1 &
  local other=$! tests_status=0 other_status=0
  ctest --preset "$preset" -j "$jobs" || tests_status=$?
  wait "$other" || other_status=$?
  phase "$title"
  cat "$log"
  ((tests_status == 0 && other_status == 0))
}

phase "The data libraries reach no window"
bash scripts/check-layers.sh

phase "Build and test (warnings are errors)"
cmake --preset test >/dev/null
cmake --build --preset test -j "$jobs"
# Each test source and each header parsed on its own, as a build without the
# presets compiles them, while the tests run: most of them wait on timers and
# lines, and the soak for two minutes. Not niced: on a busy machine it would
# then wait for every other program.
phase "Run the tests, and the include check beside them"
beside test build-test/check-includes.log \
  "Each test source and each header compiles on its own" \
  python3 scripts/check-includes.py build-test "$jobs"

phase "Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:suppressions=$PWD/scripts/asan.supp"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# The fuzz targets run one at a time beside these tests, which mostly wait on
# timers and lines; niced, so a test's timer never waits for a fuzzer. Long
# enough to run each seed corpus and mutate it a while; scripts/fuzz.sh on its
# own runs 30 s a target, ZELK_FUZZ_SECONDS as long as you like.
phase "Run the tests under the sanitizers, and fuzz the file readers and input checks beside them"
beside asan build-asan/fuzz.log "The fuzz targets" \
  env ZELK_FUZZ_BUILD=build-asan ZELK_FUZZ_JOBS=1 ZELK_FUZZ_SECONDS="${ZELK_FUZZ_SECONDS:-10}" \
  nice -n 10 bash scripts/fuzz.sh
phase "Done"
