#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the program on
# the simulated bus. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec ./build-release/bin/ZelkSoft "$@"
