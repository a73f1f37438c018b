#!/usr/bin/env bash
# Builds a release build, runs every benchmark of bench/ and prints each
# figure next to its target as a ratio. Exits non-zero when a benchmark fails
# or a figure misses its target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench

# Each figure is the median of its repetitions, and both numbers of a ratio
# come from this one run. Runs that mostly wait on the modelled line, run a
# fixed count of disk writes for a figure without a target, or poll for days,
# run once: repeating them would only make the command slow. A repetition lasts at
# least 0.2 s of CPU time (runs that wait on the disk last longer).
repetitions=${ZELK_BENCH_REPETITIONS:-5}
once='OneByOne|Wire9600|OnTheWire|WriteThrough|ForDays'
results=build-bench/results
rm -rf "$results"
mkdir -p "$results"
status=0
for b in build-bench/bin/*_bench; do
  name=$(basename "$b")
  echo "== $name"
  if [ -n "$("$b" --benchmark_filter="-($once)" --benchmark_list_tests 2>/dev/null)" ]; then
    "$b" --benchmark_filter="-($once)" --benchmark_repetitions="$repetitions" \
      --benchmark_min_time=0.2 --benchmark_display_aggregates_only=true \
      --benchmark_out="$results/$name.json" --benchmark_out_format=json || status=1
  fi
  if [ -n "$("$b" --benchmark_filter="$once" --benchmark_list_tests 2>/dev/null)" ]; then
    "$b" --benchmark_filter="$once" \
      --benchmark_out="$results/$name.once.json" --benchmark_out_format=json || status=1
  fi
done

echo
echo "== Figures against their targets (start-up on Qt's offscreen platform)"
build-bench/bin/bench_report "$results" || status=1
exit $status
