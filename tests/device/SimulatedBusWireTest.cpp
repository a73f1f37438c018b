// Time on the line: what each call costs at 9600 baud and what a unit that
// does not answer costs.
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/SimulatedBus.h"

#include <QCoreApplication>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A fresh folder with the shipped ratings and a clock that stands still
// unless a test moves it.
class SimBusWireTest : public ::testing::Test
{
protected:
    SimBusWireTest()
    {
        env.copyShipped(QStringLiteral("scale.ini"));
        env.clock.autoAdvanceMs = 0;
    }

    std::unique_ptr<SimulatedBus> makeBus()
    {
        auto bus = std::make_unique<SimulatedBus>(env.folder());
        EXPECT_EQ(bus->OpenPort(QStringLiteral("COM1")), CmdOk);
        return bus;
    }

    TestEnvironment env;
};

// Line time of `calls` calls of the last kind, in ms, 10 bits a byte.
double expectedMs(const SimulatedBus &bus, int calls)
{
    return calls * bus.lastCallBytes() * 10.0 / 9600.0 * 1000.0;
}

} // namespace

// Catches the wire model running in tests unasked, or the bus file's switch
// being ignored.
TEST_F(SimBusWireTest, WireModelIsOffUnderATestClockUnlessTheFileSaysOn)
{
    EXPECT_FALSE(makeBus()->wireModelEnabled());
    env.writeFile("simbus.ini", "[Bus]\r\nWireModel=1\r\n[Supply1]\r\nUnitID=1\r\n");
    EXPECT_TRUE(makeBus()->wireModelEnabled());
}

// Catches a wrong byte time (baud rate, bits per byte) or byte count.
TEST_F(SimBusWireTest, CallTakesItsBytesAtTheBaudRate)
{
    env.clock.autoAdvanceMs = 1;
    auto bus = makeBus();
    bus->setWireModelEnabled(true);
    qint16 v = 0;
    StatusArray a, b;
    QString serial;

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
        EXPECT_NEAR(elapsed, expectedMs(*bus, 20), expectedMs(*bus, 20) * 0.10);
    }
}

// Catches a silent unit or an empty ID that answers at once instead of costing
// the read timeout for the first try and every retry.
TEST_F(SimBusWireTest, SilentUnitCostsTimeoutTimesTries)
{
    env.clock.autoAdvanceMs = 1;
    auto bus = makeBus();
    bus->setWireModelEnabled(true);
    qint16 timeout = 250, retries = 3;
    bus->SetINIParams(timeout, retries);
    ASSERT_TRUE(bus->setUnitSilent(3, true));
    qint16 v = 0;
    for (const char *unit : {"3", "2"}) {
        const qint64 before = env.clock.monotonic;
        EXPECT_EQ(bus->GetFanFailPolarity(unit, v), "ERR_TIMEOUT");
        EXPECT_NEAR(double(env.clock.monotonic - before), 1000.0, 100.0) << unit;
    }
}

// Catches a wait that blocks the window events the program's busy-waits let run.
TEST_F(SimBusWireTest, WaitingOnTheLineLetsEventsRun)
{
    env.clock.autoAdvanceMs = 1;
    auto bus = makeBus();
    bus->setWireModelEnabled(true);
    bool ran = false;
    QMetaObject::invokeMethod(
        qApp, [&] { ran = true; }, Qt::QueuedConnection);
    qint16 v = 0;
    EXPECT_EQ(bus->GetFanFailPolarity("1", v), CmdOk);
    EXPECT_TRUE(ran);
}
