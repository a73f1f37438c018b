#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each
# for a bounded time (ZELK_FUZZ_SECONDS, default 30) on a copy of its seed
# corpus, as many at once as there are cores (ZELK_FUZZ_JOBS). Any crash,
# leak, broken invariant or sanitizer report fails the run; the input that
# caused it is kept in BUILD/artifacts. ZELK_FUZZ_BUILD names a build that
# already holds the targets (the test command's sanitizer build does), and
# nothing is built then.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

seconds=${ZELK_FUZZ_SECONDS:-30}
jobs=${ZELK_FUZZ_JOBS:-$(nproc)}
build=${ZELK_FUZZ_BUILD:-}
targets=(ini configfile logfilename display fieldrules registermap planreader httphead)

if [ -z "$build" ]; then
  echo "== Build the fuzz targets (clang, sanitizers, coverage)"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$(nproc)"
  build=build-fuzz
fi

# The corpus grows while a target runs: it works on a copy, in memory when it
# can, since the targets write and replace files all the time.
tmp_root=/dev/shm
[ -d "$tmp_root" ] && [ -w "$tmp_root" ] || tmp_root=${TMPDIR:-/tmp}
work=$(mktemp -d "$tmp_root/zelk-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

run_target() {
  local t=$1 dir=$work/$1
  mkdir -p "$dir/tmp" "$dir/artifacts"
  cp -r "fuzz/corpus/$t" "$dir/corpus"
  local status=0
  TMPDIR=$dir/tmp "$PWD/$build/bin/fuzz_$t" "$dir/corpus" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -detect_leaks=1 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/" >"$dir/log" 2>&1 || status=$?
  echo "$status" >"$dir/status"
}

echo "== Fuzz ${#targets[@]} targets for ${seconds} s each, $jobs at a time"
start=$SECONDS
running=0
for t in "${targets[@]}"; do
  if ((running >= jobs)); then
    wait -n || true
    running=$((running - 1))
  fi
  run_target "$t" &
  running=$((running + 1))
done
wait

failed=0
stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }
for t in "${targets[@]}"; do
  dir=$work/$t
  status=$(cat "$dir/status")
  # A sanitizer report that did not stop the target still fails it.
  if [ "$status" -eq 0 ] && grep -qE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|invariant broken" "$dir/log"; then
    status=1
  fi
  printf '%-12s %8s runs %7s exec/s  %s\n' "$t" "$(stat number_of_executed_units "$dir/log")" \
    "$(stat average_exec_per_sec "$dir/log")" "$([ "$status" -eq 0 ] && echo ok || echo FAILED)"
  if [ "$status" -ne 0 ]; then
    failed=1
    # The report from its first line; libFuzzer's progress lines say nothing here.
    grep -vE "^(#[0-9]+|INFO:|MS:|stat::)" "$dir/log" |
      sed -n '/invariant broken\|ERROR: \|runtime error:\|==[0-9]*==/,$p' | head -n 80
    mkdir -p "$build/artifacts"
    cp -r "$dir/artifacts/." "$build/artifacts/"
    echo "(inputs kept in $build/artifacts; rerun one with $build/bin/fuzz_$t FILE)"
  fi
done
echo "Fuzzing took $((SECONDS - start)) s"
exit "$failed"
