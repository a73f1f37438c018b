#pragma once

#include "cli/ZelkCtl.h"

// zelkctl's commands on a unit's live state: set, output and monitor. Each
// returns its exit code; the globals are set up (InitGlobals) before.
namespace LiveCommands {

int set(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);
int output(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);
int monitor(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);

} // namespace LiveCommands
