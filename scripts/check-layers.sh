#!/usr/bin/env bash
# The data libraries (settings, device, configuration file, metrics) must never reach
# a window: they include no header of a window library and no Qt Widgets
# header. Exits non-zero and names each offending line otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
data=(src/core src/device src/configfile src/metrics)
windows='core_windows|controls|charts|editor|grouping|monitor|planwindow|about|inspector|app'
found=$(grep -rnE "#[[:space:]]*include[[:space:]]*[\"<]($windows)/|#[[:space:]]*include[[:space:]]*<Qt(Widgets|Gui)|#[[:space:]]*include[[:space:]]*<Q(Widget|Dialog|MessageBox|Application)>" \
  "${data[@]}" || true)
if [ -n "$found" ]; then
  echo "A data library reaches a window:"
  echo "$found"
  exit 1
fi
# The test plans run in zelkctl too: of src/monitor they may use only the
# windowless status log library (zelk_statuslog).
statuslog='(DiskLogFileAccess|LogFileAccess|ModuleState|MonitorSession|PollRecord|SetpointRange|StatusLog|StatusLogFile|StatusLogFormat)\.h'
found=$( (grep -rnE "#[[:space:]]*include[[:space:]]*[\"<]($windows)/|#[[:space:]]*include[[:space:]]*<Qt(Widgets|Gui)|#[[:space:]]*include[[:space:]]*<Q(Widget|Dialog|MessageBox|Application)>" src/plans || true) |
  grep -vE "[\"<]monitor/$statuslog[\">]" || true)
if [ -n "$found" ]; then
  echo "The test plans reach a window:"
  echo "$found"
  exit 1
fi
echo "Data libraries reach no window."
