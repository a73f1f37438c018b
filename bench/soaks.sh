#!/usr/bin/env bash
# The long versions of the test command's soaks (plain build), each printing
# its figures; any failure fails the run.
#   - Every window on one serial line for half an hour (MINUTES): Monitor Mode
#     polling with Autosave, the bus overview watching, the trends open and
#     the editor reading a unit now and then, on the unit emulator behind a
#     pseudo-terminal, while unit 1 is taken off the line and put back. Fails
#     on a port message, an error-file line, an alarm event the silences did
#     not cause, or a record that is neither the unit's reading nor an empty
#     silence.
#   - The editor's read/apply cycles and Monitor Mode's polls under random
#     unit faults, SCALE times the test command's 1,000 cycles and 10,000
#     polls (default 10).
# Usage: bench/soaks.sh [MINUTES] [SCALE]; MINUTES=0 or SCALE=0 skips a part.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
scale=${2:-10}
bash scripts/setup.sh
cmake --preset test >/dev/null
cmake --build --preset test --target test_serial test_robustness
export QT_QPA_PLATFORM=offscreen
if ((minutes > 0)); then
  ZELK_SOAK_SECONDS=$((minutes * 60)) build-test/bin/test_serial --gtest_filter='SharedLineSoak.*'
fi
if ((scale > 0)); then
  ZELK_SOAK_SCALE=$scale build-test/bin/test_robustness --gtest_filter='*Soak.*'
fi
