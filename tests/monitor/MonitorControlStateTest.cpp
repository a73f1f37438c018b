// The monitor's control-state policy: what each activity and mode lets the
// user touch.
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
    in.present = {false, true, true, false, true, true};
    in.outputOn = {false, true, false, false, true, true};
    return in;
}
} // namespace

// Catches a control left free that could start a second conversation with
// the unit, a Monitor Mode that cannot be left during its poll, or module
// controls that ignore the module's presence and output.
TEST(MonitorControlStateTest, ActivityAndModeDecideEveryControl)
{
    struct Case
    {
        const char *what;
        MonitorControlState::Inputs in;
        bool free, monitorBox, moduleControls;
    };
    const Case cases[] = {
        {"interactive, idle", unitOne(A::Idle, false), true, true, true},
        {"interactive, action", unitOne(A::Action, false), false, false, false},
        {"interactive, reading", unitOne(A::Reading, false), false, false, false},
        {"interactive, refresh", unitOne(A::Refreshing, false), false, false, false},
        {"monitor mode, between polls", unitOne(A::Idle, true), false, true, false},
        {"monitor mode, polling", unitOne(A::Refreshing, true), false, true, false},
    };
    for (const Case &c : cases) {
        const auto s = MonitorControlState::of(c.in);
        for (bool control : {s.unitList, s.selectUnit, s.refresh, s.close, s.eeprom, s.comSettings,
                             s.period, s.globalSwitch, s.switchButtons})
            EXPECT_EQ(control, c.free) << c.what;
        EXPECT_EQ(s.monitorMode, c.monitorBox) << c.what;
        EXPECT_EQ(s.clear, !c.in.monitorMode) << c.what;
        for (int m = 1; m <= 5; ++m) {
            EXPECT_EQ(s.moduleSwitch[m], c.moduleControls && c.in.present[m]) << c.what << m;
            EXPECT_EQ(s.moduleEntry[m], c.moduleControls && c.in.present[m] && c.in.outputOn[m])
                << c.what << m;
        }
    }
}

// Catches a window without a unit that offers polling or a refresh, a global
// switch offered while the outputs are held off, or a file name that can
// change under Autosave.
TEST(MonitorControlStateTest, NoUnitHeldOffOutputsAndAutosave)
{
    const auto none = MonitorControlState::of({});
    EXPECT_TRUE(none.unitList && none.selectUnit && none.close && none.comSettings);
    EXPECT_FALSE(none.refresh || none.monitorMode || none.globalSwitch);

    auto heldOff = unitOne(A::Idle, false);
    heldOff.modulesKnown = false;
    EXPECT_FALSE(MonitorControlState::of(heldOff).globalSwitch);
    EXPECT_TRUE(MonitorControlState::of(heldOff).switchButtons);

    auto autosave = unitOne(A::Idle, false);
    autosave.autosave = true;
    EXPECT_FALSE(MonitorControlState::of(autosave).fileName);
    EXPECT_TRUE(MonitorControlState::of(unitOne(A::Idle, false)).fileName);
}
