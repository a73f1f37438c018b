// The simulated bus as the program and the window tests rely on it: stored
// settings, bus addressing, bad input, the bus file, faults and line time; and
// its units' live behaviour: outputs, measurements, current limit, status
// bytes, power-up and operating hours.
#include "BusFixture.h"
#include "core/IniFile.h"
#include "core/clsScalability.h"

#include <QCoreApplication>
#include <QMap>
#include <QSet>
#include <functional>
#include <tuple>

namespace {

struct Reading
{
    qint16 volts = -1;
    qint16 amps = -1;
};

// The demo bus on a clock that stands still unless a test moves it.
class SimBusTest : public BusFixture
{
protected:
    SimBusTest() { env.clock.autoAdvanceMs = 0; }

    QList<int> scan()
    {
        QList<int> found;
        for (qint16 id = 1; id <= 32; ++id) {
            qint16 answer = 0;
            if (bus->GetUnitID(id, answer) == CmdOk) {
                EXPECT_EQ(answer, id);
                found << id;
            }
        }
        return found;
    }

    int errorFileLines() const
    {
        const QByteArray text = env.readFile(errorFileName(env.clock.now.date()));
        return int(text.count('\n'));
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

// The demo bus, port open.
class SimBusLiveTest : public SimBusTest
{
protected:
    void SetUp() override
    {
        SimBusTest::SetUp();
        openBus();
    }
};

} // namespace

// Catches a Set that only changes memory, a Get that reads something else,
// and operating hours that stand still or are lost with the device object.
TEST_F(SimBusTest, StoredSettingsAndHoursSurviveANewDeviceObject)
{
    openBus();
    QString hours;
    ASSERT_EQ(bus->GetOperatingHoursString("1", hours), CmdOk);
    EXPECT_EQ(hours, "1234");
    advanceClock(2 * 3600000 + 1);
    ASSERT_EQ(bus->GetOperatingHoursString("1", hours), CmdOk);
    EXPECT_EQ(hours, "1236");
    for (const QString &reply :
         {bus->SetFanFailPolarity("3", 0), bus->SetDefaultGroupState("3", 1),
          bus->SetDefaultOutputVoltage("3", 3, 12345),
          bus->SetModuleGoodHighThreshold("3", 3, 13000), bus->SetCurrentLimitMode("3", 1, 2, 1),
          bus->SetCurrentLimitOFFTimeExUShort("3", 1, 4321),
          bus->SetOutputTurnONDelay("3", 3, 65000), bus->SetGroupID("3", 3, 3)})
        EXPECT_EQ(reply, CmdOk);
    restartBus();
    openBus();
    qint16 fan = -1, group = -1, volts = -1, high = -1, mode = -1, reset = -1, id = -1,
           byNumber = -1;
    qint32 off = -1, delay = -1;
    // The unit as a number reaches the same unit as its text.
    for (const QString &reply :
         {bus->GetFanFailPolarity("3", fan), bus->GetDefaultGroupState("3", group),
          bus->GetDefaultOutputVoltage("3", 3, volts),
          bus->GetModuleGoodHighThreshold("3", 3, high),
          bus->GetCurrentLimitMode("3", 1, mode, reset),
          bus->GetCurrentLimitOFFTimeExUShort("3", 1, off),
          bus->GetOutputTurnONDelayExUShort("3", 3, delay), bus->GetGroupID("3", 3, id),
          bus->GetFanFailPolarity(qint16(3), byNumber)})
        EXPECT_EQ(reply, CmdOk);
    EXPECT_EQ(std::tuple(fan, group, volts, high, mode, reset, off, delay, id, byNumber),
              std::tuple(0, 1, 12345, 13000, 2, 1, 4321, 65000, 3, 0));
    ASSERT_EQ(bus->GetOperatingHoursString("1", hours), CmdOk);
    EXPECT_EQ(hours, "1236");
}

// Catches arguments out of range that are accepted, stored, or crash the bus.
TEST_F(SimBusTest, OutOfRangeArgumentsAreRefusedAndChangeNothing)
{
    openBus();
    qint16 v = 0;
    qint32 t = 0;
    for (const char *unit : {"0", "33", "-1", "abc", ""})
        EXPECT_NE(bus->GetFanFailPolarity(unit, v), CmdOk) << unit;
    for (qint16 module : {0, 6, -1}) {
        EXPECT_NE(bus->GetModuleType("1", module, v), CmdOk) << module;
        EXPECT_NE(bus->SetOutputState("1", module, 1), CmdOk) << module;
    }
    EXPECT_NE(bus->GetProgrammingMode("3", 2, v), CmdOk); // position 2 of unit 3 is empty
    qint16 code = -1;
    EXPECT_EQ(bus->GetModuleType("3", 2, code), CmdOk);
    EXPECT_EQ(code, 0);

    // Module 1 of unit 1 is a 1.0-3.6 V type at 1000 counts per volt.
    EXPECT_NE(bus->SetDefaultOutputVoltage("1", 1, -5), CmdOk);
    EXPECT_NE(bus->SetDefaultOutputVoltage("1", 1, 3601), CmdOk);
    EXPECT_NE(bus->SetOutputVoltageSetpoint("1", 1, 3601), CmdOk);
    // The units' other ranges: WireProtocolDoc writes their edges through the emulator.
    EXPECT_NE(bus->SetCurrentLimit("1", 1, -1), CmdOk);
    EXPECT_NE(bus->SetOutputTurnONDelayExUShort("1", 1, 70000), CmdOk);
    EXPECT_EQ(bus->SetDefaultOutputVoltage("1", 1, 3600), CmdOk); // the rating itself is fine

    restartBus(); // what was refused never reached the file
    openBus();
    EXPECT_EQ(bus->GetDefaultOutputVoltage("1", 1, v) +
                  bus->GetOutputTurnONDelayExUShort("1", 1, t),
              CmdOk + CmdOk);
    EXPECT_EQ(std::pair(v, t), std::pair(qint16(3600), 0));
}

// Catches ports that open although they do not exist, a second open, and calls
// that work without an open port.
TEST_F(SimBusTest, PortOpensOnlyForKnownPortsAndOnlyOnce)
{
    env.writeFile("simbus.ini", "[Bus]\r\nPorts=/dev/ttyUSB0, COM12\r\n[Supply1]\r\nUnitID=4\r\n");
    restartBus();
    QStringList known{"/dev/ttyUSB0", "COM12"};
    for (int n = 1; n <= 9; ++n)
        known << QStringLiteral("COM%1").arg(n);
    for (const QString &port : known) {
        EXPECT_EQ(bus->OpenPort(port), CmdOk) << port.toStdString();
        bus->ClosePort();
    }
    for (const char *port : {"N/A", "", "COM10", "COM0", "com1"})
        EXPECT_NE(bus->OpenPort(port), CmdOk) << port;

    qint16 v = 0;
    EXPECT_NE(bus->GetFanFailPolarity("4", v), CmdOk);
    ASSERT_EQ(bus->OpenPort("COM1"), CmdOk);
    EXPECT_NE(bus->OpenPort("COM1"), CmdOk);
    EXPECT_TRUE(bus->portOpen()); // the refused second open leaves the first one open
    EXPECT_EQ(bus->GetFanFailPolarity("4", v), CmdOk);
    bus->ClosePort();
    EXPECT_NE(bus->GetFanFailPolarity("4", v), CmdOk);
}

// Catches a scan that finds IDs with no unit, misses a unit, or a unit that
// still answers at its old ID after the change.
TEST_F(SimBusTest, UnitIdScanAndChange)
{
    openBus();
    EXPECT_EQ(scan(), (QList<int>{1, 3, 5, 7}));

    qint16 oldId = 3, newId = 12, taken = 5;
    EXPECT_EQ(bus->SetNewUnitID(oldId, newId), CmdOk);
    EXPECT_EQ(scan(), (QList<int>{1, 5, 7, 12}));
    qint16 v = 0;
    EXPECT_NE(bus->GetFanFailPolarity("3", v), CmdOk);
    EXPECT_EQ(bus->GetFanFailPolarity("12", v), CmdOk);
    EXPECT_NE(bus->SetNewUnitID(newId, taken), CmdOk); // two units on one ID
    EXPECT_EQ(bus->SetNewUnitID(newId, newId), CmdOk);

    restartBus();
    openBus();
    EXPECT_EQ(scan(), (QList<int>{1, 5, 7, 12}));
    StatusArray modules;
    EXPECT_EQ(bus->GetPresentModules("12", modules), CmdOk);
    EXPECT_EQ(modules.toStatusText(), "10100000"); // it is still the unit that was 3
}

// Catches a missing or implausible demo bus: wrong module sets, set-points
// outside the shipped ratings, no groups, unit 7 not held off.
TEST_F(SimBusTest, DemoBusMatchesTheShippedRatings)
{
    openBus();
    const QString scale = env.path("scale.ini");
    const QMap<QString, QString> expectedModules{
        {"1", "11111000"}, {"3", "10100000"}, {"5", "00111000"}, {"7", "11000000"}};
    QSet<int> types, groups;
    for (auto it = expectedModules.begin(); it != expectedModules.end(); ++it) {
        StatusArray modules;
        ASSERT_EQ(bus->GetPresentModules(it.key(), modules), CmdOk);
        EXPECT_EQ(modules.toStatusText(), it.value()) << it.key().toStdString();
        for (qint16 m = 1; m <= 5; ++m) {
            if (modules(m) == 0)
                continue;
            qint16 code = 0, raw = 0, group = 0;
            ASSERT_EQ(bus->GetModuleType(it.key(), m, code), CmdOk);
            ASSERT_EQ(bus->GetDefaultOutputVoltage(it.key(), m, raw), CmdOk);
            ASSERT_EQ(bus->GetGroupID(it.key(), m, group), CmdOk);
            types << code;
            groups << group;
            const QString section = scaleSectionName(code);
            const double factor =
                IniFile::readString(scale, section, "VoltageScaleFactor").toDouble();
            ASSERT_GT(factor, 0) << section.toStdString();
            const double volts = raw / factor;
            EXPECT_GE(volts, IniFile::readString(scale, section, "MinVoltage").toDouble());
            EXPECT_LE(volts, IniFile::readString(scale, section, "MaxVoltage").toDouble());
            QString serial;
            EXPECT_EQ(bus->GetModuleSerialN(it.key(), m, serial), CmdOk);
            EXPECT_FALSE(serial.isEmpty());
        }
    }
    EXPECT_GE(types.size(), 5);
    EXPECT_TRUE(groups.contains(2) && groups.contains(3));
    // Unit 7 held off; unit 1's modules 4 and 5 share current in group 3:
    // master 4, slave 5.
    qint16 state = -1, global7 = -1, global1 = -1;
    StatusArray first, second;
    for (const QString &reply :
         {bus->GetDefaultGlobalOutputState("7", state), bus->GetGlobalOutputState("7", global7),
          bus->GetGlobalOutputState("1", global1), bus->GetMasterSlaveMode("1", first, second)})
        EXPECT_EQ(reply, CmdOk);
    EXPECT_EQ(std::tuple(state, global7, global1, first.toStatusText(), second.toStatusText()),
              std::tuple(0, 100, 110, QString("00000000"), QString("01000101")));
}

// Catches a corrupt bus file that crashes the bus, is lost without a copy, is
// reported more than once, or is kept so that no unit answers.
TEST_F(SimBusTest, CorruptBusFileIsKeptReportedOnceAndReplaced)
{
    static const char raw[] = "\x00\x01garbage\n[[[\n=\n[Supply1]\nUnitID=forty\n";
    const QByteArray junk(raw, sizeof raw - 1); // NUL bytes included
    env.writeFile("simbus.ini", junk);
    restartBus();
    openBus();
    EXPECT_EQ(scan(), (QList<int>{1, 3, 5, 7}));
    restartBus();
    EXPECT_EQ(bus->unitIds(), (QList<int>{1, 3, 5, 7}));
    EXPECT_EQ(env.readFile("simbus.ini.bad"), junk);
    EXPECT_EQ(errorFileLines(), 1);
    EXPECT_TRUE(env.readFile(errorFileName(env.clock.now.date())).contains("simbus.ini.bad"));
}

// Catches missing keys or wrong types that crash, reach the unit as garbage,
// or make a bad file look corrupt and be thrown away; faults written in the
// bus file that are not applied, a one-shot failure that fails more than
// once, and the wire model running in tests unasked or the bus file's switch
// being ignored.
TEST_F(SimBusTest, DamagedKeysReadAsCleanDefaultsAndFaultsAreApplied)
{
    EXPECT_FALSE(bus->wireModelEnabled()); // not under a test clock unless the file says so
    const QByteArray text = "[Supply1]\r\nUnitID=9\r\nFanFailPolarity=yes\r\nOperatingHours=-4\r\n"
                            "[Supply1.Module2]\r\nTypeCode=42\r\nDefaultVoltage=9x\r\n"
                            "CurrentLimitMode=7\r\nLoadOhms=abc\r\n"
                            "[Supply1.Module3]\r\nTypeCode=three\r\n"
                            "[Supply2]\r\nUnitID=9\r\n[Supply3]\r\nUnitID=40\r\n"
                            "[Faults]\r\nFail1=GetFanFailPolarity\r\n";
    env.writeFile("simbus.ini", text);
    restartBus();
    openBus();
    EXPECT_EQ(bus->unitIds(), QList<int>{9});
    EXPECT_EQ(env.readFile("simbus.ini"), text); // reading changes nothing
    qint16 fan = -1, mode = -1, reset = -1, type = -1, v = -1;
    QString hours;
    StatusArray modules;
    // A type with no ratings still answers; the one unreadable fault rule is
    // skipped and said so.
    for (const QString &reply :
         {bus->GetFanFailPolarity("9", fan), bus->GetOperatingHoursString("9", hours),
          bus->GetPresentModules("9", modules), bus->GetCurrentLimitMode("9", 2, mode, reset),
          bus->GetModuleType("9", 2, type), bus->SetOutputVoltageSetpoint("9", 2, 1200),
          bus->MeasureOutputVoltage("9", 2, v), bus->MeasureOutputCurrent("9", 2, v),
          bus->GetFanFailPolarity("9", v)})
        EXPECT_EQ(reply, CmdOk);
    EXPECT_EQ(std::tuple(fan, hours, modules.toStatusText(), mode, type),
              std::tuple(1, QString("0"), QString("01000000"), 0, 42));
    EXPECT_EQ(errorFileLines(), 1);

    env.writeFile("simbus.ini", "[Bus]\r\nWireModel=1\r\n"
                                "[Supply1]\r\nUnitID=1\r\n[Supply1.Module1]\r\nTypeCode=2\r\n"
                                "[Supply2]\r\nUnitID=2\r\nSilent=1\r\nForcedAlarms=1, 7\r\n"
                                "[Supply3]\r\nUnitID=3\r\nForcedAlarms=2\r\n"
                                "[Faults]\r\nFail1=GetUnitSerialN, 1, 0, once, ERR_CHECKSUM\r\n");
    restartBus();
    EXPECT_TRUE(bus->wireModelEnabled());
    openBus().setWireModelEnabled(false); // the clock here stands still
    QString serial;
    StatusArray a;
    EXPECT_EQ(bus->GetPresentModules("2", a), "ERR_TIMEOUT");
    EXPECT_EQ(bus->GetUnitSerialN("1", serial), "ERR_CHECKSUM");
    EXPECT_EQ(bus->GetUnitSerialN("1", serial), CmdOk);
    EXPECT_EQ(bus->GetGlobalStatusByte("3", a), CmdOk);
    EXPECT_EQ(a(2), 0); // fan failed
    EXPECT_EQ(a(6), 1); // and the alarm raised
}

// Catches a silent unit that answers or takes the others down with it, and
// failures that hit the wrong unit, module or method, or stay after clearing.
TEST_F(SimBusTest, FaultsFromTests)
{
    openBus();
    qint16 v = 0;
    StatusArray a;
    ASSERT_TRUE(bus->setUnitSilent(3, true));
    qint16 id = 3;
    EXPECT_NE(bus->GetUnitID(id, v), CmdOk);
    EXPECT_NE(bus->GetPresentModules("3", a), CmdOk);
    EXPECT_NE(bus->SetOutputState("3", 1, 0), CmdOk);
    EXPECT_NE(bus->MeasureOutputVoltage("3", 1, v), CmdOk);
    EXPECT_EQ(bus->GetPresentModules("1", a), CmdOk);
    EXPECT_EQ(bus->GetPresentModules("5", a), CmdOk);

    bus->failMethod("MeasureOutputVoltage", "ERR_ADC", 1, 2);
    bus->failMethod("GetGroupID", "", 5, 0, SimBusFaults::Count::Once);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(bus->MeasureOutputVoltage("1", 2, v), "ERR_ADC");
        EXPECT_EQ(bus->MeasureOutputVoltage("1", 1, v), CmdOk);
        EXPECT_EQ(bus->MeasureOutputCurrent("1", 2, v), CmdOk);
        EXPECT_EQ(bus->GetGroupID("1", 1, v), CmdOk);
    }
    EXPECT_EQ(bus->GetGroupID("5", 3, v), ""); // an empty reply is a failure too
    EXPECT_EQ(bus->GetGroupID("5", 4, v), CmdOk);
    bus->clearFailures();
    EXPECT_EQ(bus->MeasureOutputVoltage("1", 2, v), CmdOk);
}

// Catches a wait that blocks the window events the program's busy-waits let
// run, a wrong byte time (baud rate, 10 bits a byte) or byte count, and a
// silent unit or an empty ID that answers at once instead of costing the read
// timeout for the first try and, as on the serial line, twice that for every
// retry (the wait, and the wait for the late answer before it).
TEST_F(SimBusTest, CallsTakeTheirLineTime)
{
    env.clock.autoAdvanceMs = 1;
    openBus().setWireModelEnabled(true);
    qint16 v = 0, timeout = 250, retries = 3;
    StatusArray a, b;
    QString serial;
    bool ran = false;
    QMetaObject::invokeMethod(
        qApp, [&] { ran = true; }, Qt::QueuedConnection);
    EXPECT_EQ(bus->GetFanFailPolarity("1", v), CmdOk);
    EXPECT_TRUE(ran); // the wait lets the window events run
    const std::function<QString()> calls[] = {
        [&] { return bus->GetFanFailPolarity("1", v); },
        [&] { return bus->GetMasterSlaveMode("1", a, b); },
        [&] { return bus->GetUnitSerialN("1", serial); },
    };
    for (const auto &call : calls) {
        const qint64 before = env.clock.monotonic;
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(call(), CmdOk);
        const double elapsed = double(env.clock.monotonic - before);
        ASSERT_GE(bus->lastCallBytes(), 16); // at least a request and an answer frame
        const double expected = 20 * bus->lastCallBytes() * 10.0 / 9600.0 * 1000.0;
        EXPECT_NEAR(elapsed, expected, expected * 0.10);
    }

    bus->SetINIParams(timeout, retries);
    ASSERT_TRUE(bus->setUnitSilent(3, true));
    for (const char *unit : {"3", "2"}) {
        const qint64 before = env.clock.monotonic;
        EXPECT_EQ(bus->GetFanFailPolarity(unit, v), "ERR_TIMEOUT");
        EXPECT_NEAR(double(env.clock.monotonic - before), 250.0 * 7, 100.0) << unit;
    }
}

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
    EXPECT_EQ(std::pair(r.volts, r.amps), (std::pair<qint16, qint16>(10000, 2000)));

    ASSERT_EQ(bus->SetOutputState("1", 2, 0), CmdOk);
    r = measure("1", 2);
    EXPECT_EQ(std::pair(r.volts, r.amps), (std::pair<qint16, qint16>(0, 0)));
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
        const Reading r = measure("1", 1); // 80 A, through 0.02 ohm
        EXPECT_EQ(std::pair(r.volts, r.amps), (std::pair<qint16, qint16>(1600, 6400)));
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
