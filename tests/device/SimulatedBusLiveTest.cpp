// The simulated units' live behaviour: outputs, measurements, current limit,
// status bytes, power-up and operating hours.
#include "BusFixture.h"

#include <QSet>

namespace {

struct Reading
{
    qint16 volts = -1;
    qint16 amps = -1;
};

// The demo bus, port open, on a clock that stands still unless a test moves it.
class SimBusLiveTest : public BusFixture
{
protected:
    SimBusLiveTest() { env.clock.autoAdvanceMs = 0; }
    void SetUp() override
    {
        BusFixture::SetUp();
        openBus();
    }

    Reading measure(const char *unit, qint16 module)
    {
        Reading r;
        EXPECT_EQ(bus->MeasureOutputVoltage(unit, module, r.volts), CmdOk);
        EXPECT_EQ(bus->MeasureOutputCurrent(unit, module, r.amps), CmdOk);
        return r;
    }
    QString outputs(const char *unit)
    {
        StatusArray a;
        EXPECT_EQ(bus->GetOutputState(unit, a), CmdOk);
        return a.toStatusText();
    }
    StatusArray status(const char *unit, bool global)
    {
        StatusArray a;
        EXPECT_EQ(global ? bus->GetGlobalStatusByte(unit, a)
                         : bus->GetModuleGoodStatusByte(unit, a),
                  CmdOk);
        return a;
    }
};

} // namespace

// Demo unit 1: module 1 3.3 V Normal limit 80 A on 0.0825 ohm; module 2 12 V
// Hiccup limit 24 A (100 ms on, 1000 ms off) on 1 ohm; module 3 24 V Latching
// limit 12 A after 100 ms on 4 ohm. Counts: module 2 1000/V 200/A, module 3
// 500/V 400/A.

// Catches measurements that ignore the set-point, the output switch or the
// global output, noise that is not small, or a global output switch that
// does not restart the outputs.
TEST_F(SimBusLiveTest, MeasurementsFollowSetpointAndSwitches)
{
    bus->setNoiseEnabled(true);
    Reading r = measure("1", 2);
    EXPECT_NEAR(r.volts, 12000, 12000 * 0.002);
    EXPECT_NEAR(r.amps, 2400, 2400 * 0.002);
    QSet<qint16> seen;
    for (int i = 0; i < 20; ++i)
        seen << measure("1", 2).volts;
    EXPECT_GT(seen.size(), 1); // a real supply never reads the same twice
    bus->setNoiseEnabled(false);

    ASSERT_EQ(bus->SetOutputVoltageSetpoint("1", 2, 10000), CmdOk);
    r = measure("1", 2);
    EXPECT_EQ(r.volts, 10000);
    EXPECT_EQ(r.amps, 2000);

    ASSERT_EQ(bus->SetOutputState("1", 2, 0), CmdOk);
    r = measure("1", 2);
    EXPECT_EQ(r.volts, 0);
    EXPECT_EQ(r.amps, 0);
    EXPECT_EQ(outputs("1"), "10111000");
    ASSERT_EQ(bus->SetOutputState("1", 2, 1), CmdOk);
    EXPECT_EQ(measure("1", 2).volts, 10000); // the live set-point is kept

    ASSERT_EQ(bus->SetGlobalOutputState(qint16(1), 0), CmdOk);
    EXPECT_EQ(measure("1", 1).volts, 0);
    EXPECT_EQ(outputs("1"), "00000000");
    qint16 global = 0;
    EXPECT_EQ(bus->GetGlobalOutputState("1", global), CmdOk);
    EXPECT_EQ(global, 100);
    // Switched on again, it restarts every output (one switched off too), each
    // group on its delay.
    ASSERT_EQ(bus->SetOutputState("1", 1, 0), CmdOk);
    ASSERT_EQ(bus->SetGlobalOutputState(qint16(1), 1), CmdOk);
    EXPECT_EQ(outputs("1"), "10000000");
    advanceClock(500);
    EXPECT_EQ(outputs("1"), "11111000");
}

// Catches a Normal limit that lets the overload through or trips.
TEST_F(SimBusLiveTest, NormalLimitHoldsTheCurrent)
{
    ASSERT_TRUE(bus->setLoadResistance(1, 1, 0.02)); // 165 A wanted
    for (int i = 0; i < 3; ++i) {
        const Reading r = measure("1", 1);
        EXPECT_EQ(r.amps, 6400);  // 80 A
        EXPECT_EQ(r.volts, 1600); // 80 A through 0.02 ohm
        advanceClock(5000);
    }
    EXPECT_EQ(status("1", true)(5), 1);  // global current limit
    EXPECT_EQ(status("1", false)(1), 0); // 1.6 V is outside the window
}

// Catches a latch that trips early, late, or not at all, that clears when the
// load goes, or that ignores the enable-reset setting.
TEST_F(SimBusLiveTest, LatchingLimitTripsAfterOnTimeAndStaysOff)
{
    ASSERT_TRUE(bus->setLoadResistance(1, 3, 1.0)); // 24 A wanted
    EXPECT_EQ(measure("1", 3).amps, 4800);
    advanceClock(99);
    EXPECT_EQ(measure("1", 3).volts, 6000); // 12 A through 1 ohm
    advanceClock(1);
    EXPECT_EQ(measure("1", 3).volts, 0);
    EXPECT_EQ(outputs("1")[2], '0');
    ASSERT_TRUE(bus->setLoadResistance(1, 3, 4.0));
    advanceClock(1000);
    EXPECT_EQ(measure("1", 3).amps, 0);

    // Enable-reset on: switching the output off and on clears the latch.
    ASSERT_EQ(bus->SetOutputState("1", 3, 0), CmdOk);
    ASSERT_EQ(bus->SetOutputState("1", 3, 1), CmdOk);
    EXPECT_EQ(measure("1", 3).volts, 12000);

    // Enable-reset off: only a power cycle does.
    ASSERT_EQ(bus->SetCurrentLimitMode("1", 3, 1, 0), CmdOk);
    ASSERT_TRUE(bus->setLoadResistance(1, 3, 1.0));
    advanceClock(100);
    ASSERT_TRUE(bus->setLoadResistance(1, 3, 4.0));
    ASSERT_EQ(bus->SetOutputState("1", 3, 0), CmdOk);
    ASSERT_EQ(bus->SetOutputState("1", 3, 1), CmdOk);
    EXPECT_EQ(measure("1", 3).volts, 0);
    ASSERT_TRUE(bus->recycle(1));
    advanceClock(250);
    EXPECT_EQ(measure("1", 3).volts, 12000);
}

// Catches a hiccup that does not switch off, does not come back, or uses the
// wrong ON/OFF times.
TEST_F(SimBusLiveTest, HiccupLimitCyclesWithOnAndOffTimes)
{
    ASSERT_TRUE(bus->setLoadResistance(1, 2, 0.25)); // 48 A wanted
    const Reading held = measure("1", 2);
    EXPECT_EQ(held.amps, 4800); // 24 A
    EXPECT_EQ(held.volts, 6000);
    advanceClock(150);
    EXPECT_EQ(measure("1", 2).amps, 0);
    EXPECT_EQ(outputs("1")[1], '1'); // still commanded on while it waits
    advanceClock(940);
    EXPECT_EQ(measure("1", 2).amps, 0);
    advanceClock(20);
    EXPECT_EQ(measure("1", 2).amps, 4800);
    ASSERT_TRUE(bus->setLoadResistance(1, 2, 1.0));
    advanceClock(5000);
    EXPECT_EQ(measure("1", 2).volts, 12000);
}

// Catches a module-good byte or DC-good flag that ignores the thresholds or
// the output state, and forced alarms that do not show, or that leave the
// module-good byte up during an over-voltage.
TEST_F(SimBusLiveTest, ModuleGoodFollowsThresholds)
{
    EXPECT_EQ(status("1", false).toStatusText(), "11111000");
    EXPECT_EQ(status("1", true).toStatusText(), "11110001");

    ASSERT_EQ(bus->SetModuleGoodLowThreshold("1", 2, 12100), CmdOk);
    EXPECT_EQ(status("1", false).toStatusText(), "10111000");
    EXPECT_EQ(status("1", true)(4), 0);
    ASSERT_EQ(bus->SetModuleGoodLowThreshold("1", 2, 11900), CmdOk);
    ASSERT_EQ(bus->SetModuleGoodHighThreshold("1", 2, 11950), CmdOk);
    EXPECT_EQ(status("1", false)(2), 0);
    ASSERT_EQ(bus->SetModuleGoodLowThreshold("1", 2, 0), CmdOk);
    EXPECT_EQ(status("1", false)(2), 0); // still above the high threshold
    ASSERT_EQ(bus->SetModuleGoodHighThreshold("1", 2, 0), CmdOk);
    EXPECT_EQ(status("1", false)(2), 1); // no window set
    ASSERT_EQ(bus->SetOutputState("1", 2, 0), CmdOk);
    EXPECT_EQ(status("1", false)(2), 0);
    EXPECT_EQ(status("1", true)(4), 1); // a module switched off is not a DC failure

    // Forced alarms.
    ASSERT_TRUE(bus->forceAlarm(1, 1, true));
    ASSERT_TRUE(bus->forceAlarm(1, 8, true));
    StatusArray g = status("1", true);
    EXPECT_EQ(g(1), 0);
    EXPECT_EQ(g(6), 1);
    EXPECT_EQ(g(8), 0);
    ASSERT_TRUE(bus->forceAlarm(1, 7, true));
    EXPECT_EQ(status("1", true)(7), 1);
    EXPECT_EQ(status("1", false).toStatusText(), "00000000");
    EXPECT_EQ(status("3", true).toStatusText(), "11110001");
    EXPECT_EQ(status("7", true)(4), 0); // outputs held off: DC not good
}

// Catches a power-up that ignores start-up states, turn-on delays or groups,
// or that keeps the live set-point.
TEST_F(SimBusLiveTest, RecycleStartsOutputsGroupByGroup)
{
    // Group 2 (modules 2, 3) follows its first module: its start-up state and delay.
    ASSERT_EQ(bus->SetDefaultOutputOnOffState("1", 3, 0), CmdOk);
    ASSERT_EQ(bus->SetOutputTurnONDelay("1", 3, 50), CmdOk);
    ASSERT_EQ(bus->SetDefaultOutputOnOffState("1", 1, 0), CmdOk);
    ASSERT_EQ(bus->SetOutputVoltageSetpoint("1", 2, 9000), CmdOk);

    ASSERT_TRUE(bus->recycle(1));
    EXPECT_EQ(outputs("1"), "00000000");
    advanceClock(249);
    EXPECT_EQ(outputs("1"), "00000000");
    advanceClock(1);
    EXPECT_EQ(outputs("1"), "01100000");
    EXPECT_EQ(measure("1", 2).volts, 12000);
    advanceClock(250);
    EXPECT_EQ(outputs("1"), "01111000");

    // The group switch takes every grouped module along, each group on its delay.
    ASSERT_EQ(bus->SetGroupState("1", 0), CmdOk);
    EXPECT_EQ(outputs("1"), "00000000");
    ASSERT_EQ(bus->SetGroupState("1", 1), CmdOk);
    advanceClock(250);
    EXPECT_EQ(outputs("1"), "01100000");
    advanceClock(250);
    EXPECT_EQ(outputs("1"), "01111000");

    ASSERT_TRUE(bus->recycle(7)); // held off until its global output is switched on
    EXPECT_EQ(outputs("7"), "00000000");
    ASSERT_EQ(bus->SetGlobalOutputState(qint16(7), 1), CmdOk);
    EXPECT_EQ(outputs("7"), "11000000");
}

// Catches operating hours that stand still or are lost with the device object.
TEST_F(SimBusLiveTest, OperatingHoursAdvanceWithTheClock)
{
    QString hours;
    ASSERT_EQ(bus->GetOperatingHoursString("1", hours), CmdOk);
    EXPECT_EQ(hours, "1234");
    advanceClock(2 * 3600000 + 1);
    ASSERT_EQ(bus->GetOperatingHoursString("1", hours), CmdOk);
    EXPECT_EQ(hours, "1236");
    restartBus();
    openBus();
    ASSERT_EQ(bus->GetOperatingHoursString("1", hours), CmdOk);
    EXPECT_EQ(hours, "1236");
}
