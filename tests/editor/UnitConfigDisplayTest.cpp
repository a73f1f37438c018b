// The mapping from a unit record to what the editor shows.
#include "configfile/UnitConfigDisplay.h"
#include "EditorShown.h"
#include "device/ZelkData.h"

#include <array>
#include <gtest/gtest.h>

namespace {

UnitConfigDisplay::Context readContext(bool globalState = true, bool globalPolarity = true)
{
    UnitConfigDisplay::Context c;
    c.defaultGlobalState = globalState;
    c.defaultGlobalPolarity = globalPolarity;
    c.voltageScaleFactor = {1000, 1000, 500, 200, 200};
    return c;
}

} // namespace

// Catches a set-point shown unrounded, an empty one not shown as 0, a slider
// value off by the tenths scale, limits shown raw instead of in volts, limits
// off (both 0) left editable, and limits of a type without a scale factor
// divided by 0.
TEST(UnitConfigDisplay, SetPointsAndLimitsInVolts)
{
    ZelkData record;
    record.MODULES = "11100000";
    record.Module(1).OutputVoltageSetpoint = "12.34";
    record.Module(2).OutputVoltageSetpoint = "  ";
    record.Module(3).OutputVoltageSetpoint = "3.3333";
    record.Module(1).VoltageHighLimit = "3466";
    record.Module(1).VoltageLowLimit = "3136";
    record.Module(2).VoltageHighLimit = "0";
    record.Module(2).VoltageLowLimit = "0";
    record.Module(3).VoltageHighLimit = "100";
    auto context = readContext();
    context.voltageScaleFactor[2] = 0;
    const auto d = UnitConfigDisplay::fromRecord(record, context);
    EXPECT_EQ((QStringList{d.module(1).setpoint, d.module(2).setpoint, d.module(3).setpoint,
                           d.module(1).highLimit, d.module(1).lowLimit}),
              (QStringList{"12.34", "0", "3.33", "3.47", "3.14"}));
    EXPECT_EQ((std::array{d.module(1).setpointSlider, d.module(2).setpointSlider}),
              (std::array{123, 0}));
    // Module 4 is not fitted.
    EXPECT_EQ(
        (std::array{d.module(1).limitsEditable, d.module(2).limitsShown, d.module(2).limitsEditable,
                    d.module(3).limitsShown, d.module(4).limitsShown}),
        (std::array{true, true, false, false, false}));
}

// Catches the option pairs mapped the wrong way round, the global output
// pair not following the default state and polarity when they agree, the
// inverted global polarity hiding the limits and delays the unit reported
// (the form would keep another unit's values), and module settings shown
// when the global inhibit stopped the read.
TEST(UnitConfigDisplay, OptionPairsAndModuleSettingsFollowWhatWasRead)
{
    ZelkData record;
    record.FanFail = true;
    record.OverTemp = true;
    record.MODULES = "10000000";
    record.Module(1).VoltageHighLimit = "5000";
    record.Module(1).StartUpDelay = "250";
    auto d = UnitConfigDisplay::fromRecord(record, readContext());
    // The global pair: state and polarity both true.
    EXPECT_EQ((std::array{d.fanFailFirst, d.globalDCFirst, d.overTempFirst, d.globalFirst,
                          d.globalOnOffFirst}),
              (std::array{true, false, true, true, true}));
    d = UnitConfigDisplay::fromRecord(record, readContext(true, false));
    EXPECT_EQ(d.module(1).highLimit, "5");
    EXPECT_EQ(d.module(1).startUpDelay, "250");
    EXPECT_FALSE(d.globalOnOffFirst);

    record.Global = true;
    d = UnitConfigDisplay::fromRecord(record, readContext(false, false));
    EXPECT_FALSE(d.globalFirst || d.globalOnOffFirst);
    EXPECT_FALSE(d.module(1).limitsShown || d.module(1).startUpDelayShown);
    // Disagreeing: the record decides.
    EXPECT_TRUE(UnitConfigDisplay::fromRecord(record, readContext(false, true)).globalFirst);
}

// Catches a mode text mapped to the wrong layout and start-up controls
// editable outside group 1.
TEST(UnitConfigDisplay, ModesAndGroups)
{
    using Mode = UnitConfigDisplay::LimitMode;
    const struct
    {
        const char *stored;
        qint16 group;
        Mode mode;
    } modules[] = {{"Normal", 0, Mode::Normal},
                   {"Latching", 1, Mode::Latching},
                   {"Hiccup", 2, Mode::Hiccup},
                   {"CurrentShare", 1, Mode::CurrentShare},
                   {"", 0, Mode::None}};
    ZelkData record;
    for (int m = 1; m <= 5; ++m) {
        record.Module(m).CurrentLimitMode = QString::fromLatin1(modules[m - 1].stored);
        record.Module(m).GroupId = modules[m - 1].group;
    }
    record.Module(2).EnableReset = "1";
    record.Module(2).CurrentLimit = "12.6";
    const auto d = UnitConfigDisplay::fromRecord(record, readContext());
    for (int m = 1; m <= 5; ++m) {
        EXPECT_EQ(d.module(m).limitMode, modules[m - 1].mode) << m;
        EXPECT_EQ(d.module(m).startUpEditable, modules[m - 1].group == 1) << m;
    }
    EXPECT_TRUE(d.module(2).enableReset);
    EXPECT_EQ(d.module(2).currentLimitScroll, 13);
}
