#pragma once

#include "cli/ZelkCtl.h"

// zelkctl's test plans: run PLAN UNIT... Returns the run's exit code
// (PlanRunResult::Outcome), or Usage.
namespace PlanCommands {

int run(ZelkCtl::Console &console, const ZelkCtl::Arguments &args);

} // namespace PlanCommands
