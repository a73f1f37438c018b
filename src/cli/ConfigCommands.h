#pragma once

#include "cli/ZelkCtl.h"

// zelkctl's configuration commands: scan, read, save, diff and apply. Each
// returns its exit code; the globals are set up (InitGlobals) before.
namespace ConfigCommands {

int scan(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);
int read(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);
int save(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);
int diff(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);
int apply(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);

} // namespace ConfigCommands
