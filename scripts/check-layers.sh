#!/usr/bin/env bash
# The data libraries (settings, device, configuration file) must never reach
# a window: they include no header of a window library and no Qt Widgets
# header. Exits non-zero and names each offending line otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
data=(src/core src/device src/configfile)
windows='core_windows|controls|editor|grouping|monitor|about|inspector|app'
found=$(grep -rnE "#[[:space:]]*include[[:space:]]*[\"<]($windows)/|#[[:space:]]*include[[:space:]]*<Qt(Widgets|Gui)|#[[:space:]]*include[[:space:]]*<Q(Widget|Dialog|MessageBox|Application)>" \
  "${data[@]}" || true)
if [ -n "$found" ]; then
  echo "A data library reaches a window:"
  echo "$found"
  exit 1
fi
echo "Data libraries reach no window."
