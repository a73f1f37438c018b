#!/usr/bin/env bash
# Every window on one serial line for half an hour (or MINUTES): Monitor Mode
# polling with Autosave, the bus overview watching, the trends open and the
# editor reading a unit now and then, on the unit emulator behind a
# pseudo-terminal, while unit 1 is taken off the line and put back. Prints
# the run's figures; fails when a port message, an error-file line, an alarm
# event the silences did not cause, or a record that is neither the unit's
# reading nor an empty silence shows up.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
bash scripts/setup.sh
cmake --preset test >/dev/null
cmake --build --preset test --target test_serial
ZELK_SOAK_SECONDS=$((minutes * 60)) QT_QPA_PLATFORM=offscreen \
  build-test/bin/test_serial --gtest_filter='SharedLineSoak.*'
