// The monitor's control-state policy where the window tests cannot reach it:
// the Monitor Mode box during a poll, and the global switch of a unit whose
// outputs are held off. The window tests cover the other controls.
#include "monitor/MonitorControlState.h"

#include <gtest/gtest.h>

namespace {
using A = MonitorControlState::Activity;

MonitorControlState::Inputs unitOne(A activity, bool monitorMode)
{
    MonitorControlState::Inputs in;
    in.activity = activity;
    in.unitSelected = true;
    in.monitorMode = monitorMode;
    in.modulesKnown = true;
    return in;
}
} // namespace

// Catches a Monitor Mode that cannot be left during its poll or can be entered
// in the middle of something else, a window without a unit that offers
// polling, and a global switch offered while the outputs are held off.
TEST(MonitorControlStateTest, MonitorModeBoxAndGlobalSwitch)
{
    const std::pair<MonitorControlState::Inputs, bool> monitorBox[] = {
        {unitOne(A::Idle, false), true},       {unitOne(A::Action, false), false},
        {unitOne(A::Reading, false), false},   {unitOne(A::Refreshing, false), false},
        {unitOne(A::Refreshing, true), true},  {unitOne(A::Idle, true), true},
        {MonitorControlState::Inputs{}, false}};
    for (const auto &[in, box] : monitorBox)
        EXPECT_EQ(MonitorControlState::of(in).monitorMode, box)
            << int(in.activity) << in.monitorMode << in.unitSelected;

    auto heldOff = unitOne(A::Idle, false);
    EXPECT_TRUE(MonitorControlState::of(heldOff).globalSwitch);
    heldOff.modulesKnown = false;
    EXPECT_FALSE(MonitorControlState::of(heldOff).globalSwitch);
    EXPECT_TRUE(MonitorControlState::of(heldOff).switchButtons);
}
