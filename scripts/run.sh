#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the program on
# the simulated bus. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZELK_BUILD_TESTS=OFF -DZELK_BUILD_BENCH=OFF >/dev/null
cmake --build build-release --target ZelkSoft zelk_data
exec ./build-release/bin/ZelkSoft "$@"
