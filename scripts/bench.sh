#!/usr/bin/env bash
# Builds a release build and runs every benchmark of bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELK_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench
status=0
for b in build-bench/bin/*_bench; do
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
