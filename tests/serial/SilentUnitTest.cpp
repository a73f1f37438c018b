// One silent unit among answering ones: it is asked once a call, without
// retries and with the short wait, so a cycle over the bus stays short.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"
#include "device/ModbusFrame.h"
#include "device/SharedLine.h"
#include "device/SharedLineDevice.h"
#include "monitor/BusOverview.h"
#include "monitor/MonitorForm.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace {

using SilentUnitLine = LineFixture;

// A serial device object on a line that answers nothing until told to,
// then answers every read with zeros; open, ReadTimeout 200 ms and two
// retries at 9600 baud.
class SilentUnit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qint16 timeout = 200, retries = 2;
        bus.SetINIParams(timeout, retries);
        ASSERT_EQ(bus.OpenPort(QStringLiteral("/dev/null")), CmdOk);
    }
    bool answering = false;
    std::vector<int> waits;
    SerialBus bus{fakeLine([this](const QByteArray &pdu, int timeoutMs) {
        waits.push_back(timeoutMs);
        const int count = ModbusFrame::word(pdu, 3);
        return answering ? ModbusTransport::Exchange{ModbusTransport::Exchange::Status::Answer,
                                                     pdu.left(1) + char(2 * count) +
                                                         QByteArray(2 * count, '\0')}
                         : ModbusTransport::Exchange{};
    })};
};

} // namespace

// Catches a silent unit that still gets its retries or the long timeout, a
// wait that goes under the answer's wire time, and a unit that stays marked
// after it answers: the first call tries 1 + RetryCount times with
// ReadTimeout; from then on one try each with SilentTimeout (never below the
// answer's wire time + 20 ms); the first answer ends it.
TEST_F(SilentUnit, AskedOnceWithTheShortWaitUntilItAnswers)
{
    bus.setBlockReads(false);
    ASSERT_EQ(bus.baud(), 9600);
    ASSERT_EQ(bus.silentTimeoutMs(), ZelkIniKeys::DefaultSilentTimeout);
    StatusArray flags;
    QString text;
    EXPECT_TRUE(
        bus.GetGlobalStatusByte(UnitArg(4), flags).startsWith(QLatin1String("ERR_TIMEOUT")));
    EXPECT_EQ(waits, (std::vector<int>{200, 200, 200}));
    EXPECT_TRUE(bus.unitSilent(4));
    EXPECT_FALSE(bus.unitSilent(5));
    waits.clear();
    const QString reply = bus.GetGlobalStatusByte(UnitArg(4), flags);
    EXPECT_TRUE(reply.contains(QLatin1String("silent"))) << reply.toStdString();
    // 125 registers at 9600 baud: 255 characters and the silence, 270 ms.
    bus.GetUnitSerialN(UnitArg(4), text);
    EXPECT_EQ(bus.silentWaitMs(ModbusFrame::readRequest(3, 0, 125)), 270 + 20);
    // At 9600 baud 50 ms less two silences, the request and 5 ms to wake
    // leaves 29 ms, under the floor: a one-register answer's 7 characters and
    // the silence (11 ms) + 20; six registers: 17 characters, 22 ms + 20.
    EXPECT_EQ(waits, (std::vector<int>{31, 42}));
    answering = true;
    EXPECT_EQ(bus.GetGlobalStatusByte(UnitArg(4), flags), CmdOk);
    EXPECT_FALSE(bus.unitSilent(4));
}

// Catches a look for units that asks with the reads' wait or retries, that
// asks again a unit heard on this line, or whose unanswered questions make a
// unit silent for the reads the user asks for.
TEST_F(SilentUnit, AProbeAsksOnceShortAndOnlyUnitsNotHeardFrom)
{
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ZelkDevice::nobodyAnswered(bus.ProbeUnit(9)));
    EXPECT_EQ(waits, (std::vector<int>{31, 31, 31, 31})); // as a silent unit's wait
    EXPECT_FALSE(bus.unitSilent(9));
    answering = true;
    EXPECT_EQ(bus.ProbeUnit(9), CmdOk);
    waits.clear();
    EXPECT_EQ(bus.ProbeUnit(9), CmdOk);
    EXPECT_TRUE(waits.empty());
}

// Catches a look for units that misses a unit answering within the short
// question's wait, and one that reports a slower unit absent without saying
// what would find it: with SilentTimeout 200 ms (a wait of about 190 ms at
// 115200 baud), zelkctl scan finds the emulator's units answering after
// 100 ms, and after 300 ms finds none and names the setting.
TEST_F(SilentUnitLine, AScanFindsUnitsWithinTheShortWaitAndNamesTheSettingForSlowerOnes)
{
    lineSettings(400, 0, "SilentTimeout=200\r\n");
    for (const auto &[delay, found] : {std::pair{"100", 4}, std::pair{"300", 0}}) {
        startLine({"--delay-ms", delay});
        const QString out =
            runProgram(QStringLiteral(ZELK_CTL),
                       {"--app-dir", env.folder(), "--bus", "serial", "--port", "COM1", "scan"})
                .out;
        EXPECT_TRUE(out.contains(QStringLiteral("\n%1 unit(s) answer\n").arg(found)) ||
                    out.startsWith(QStringLiteral("%1 unit(s)").arg(found)))
            << delay << '\n'
            << out.toStdString();
        EXPECT_EQ(out.contains(QLatin1String("needs a larger SilentTimeout")), found == 0)
            << out.toStdString();
        EXPECT_EQ(out.contains(QLatin1String("[Serial COM Parameters] of Zelk.ini")), found == 0);
        unitsim.kill();
    }
}

// Catches a poll that a dead unit slows, or a silent unit that holds the
// caller longer than its settings allow or fails before its retries: with
// unit 7 silent in the emulator, its first call fails after ReadTimeout x
// (RetryCount + 1), each retry after the late answer of the try before could
// have come (ReadTimeout more), naming the unit and the port; in every cycle
// over units 1, 3, 5 and 7 after the fourth unit 7 is asked once, never with
// the normal wait, and its turn on the line (from unit 5's answer to the next
// cycle's first request) takes about one SilentTimeout; scripts/bench.sh
// gives every cycle against the wire time.
TEST_F(SilentUnitLine, CycleWithOneSilentUnitStaysShort)
{
    startLine({"--silent", "7"});
    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    serial->setBlockReads(false); // one exchange a call, the same in every cycle
    int askedSilent = 0;
    qint64 lastAnswerNs = 0;
    std::vector<int> asked;
    std::vector<qint64> turns; // unit 7's turn in cycles 1, 2, ...
    serial->setFrameTap([&](const ModbusFrameEvent &e) {
        if (e.kind == ModbusFrameEvent::Kind::Answer && e.unit == 5)
            lastAnswerNs = e.atNs;
        if (e.kind != ModbusFrameEvent::Kind::Request)
            return;
        askedSilent += e.unit == 7;
        if (e.unit == 1 && lastAnswerNs > 0)
            turns.push_back(e.atNs - lastAnswerNs);
    });
    constexpr int Cycles = 13;
    for (int cycle = 1; cycle <= Cycles; ++cycle) {
        askedSilent = 0;
        for (const int unit : {1, 3, 5, 7}) {
            StatusArray flags;
            QElapsedTimer timer;
            timer.start();
            const QString reply = serial->GetGlobalStatusByte(UnitArg(unit), flags);
            const qint64 ms = timer.elapsed();
            EXPECT_EQ(reply == CmdOk, unit != 7) << unit << reply.toStdString();
            if (unit == 7 && cycle == 1) {
                EXPECT_TRUE(reply.startsWith(QLatin1String("ERR_TIMEOUT")) &&
                            reply.contains(QLatin1String("unit 7")) && reply.contains(link))
                    << reply.toStdString();
                EXPECT_GE(ms, TimeoutMs * (2 * Retries + 1));
                EXPECT_LE(ms, TimeoutMs * (2 * Retries + 1) + 100);
            }
        }
        asked.push_back(askedSilent);
    }
    serial->setFrameTap({});
    ASSERT_EQ(turns.size(), std::size_t(Cycles - 1));
    EXPECT_EQ(asked[0], 1 + LineFixture::Retries);
    std::vector<qint64> late(turns.begin() + 4, turns.end());
    for (std::size_t i = 0; i < late.size(); ++i) {
        EXPECT_EQ(asked[i + 4], 1) << i + 5;
        EXPECT_LT(late[i], qint64(LineFixture::TimeoutMs) * 1'000'000) << i + 5;
    }
    // Nearer the short wait than the normal one: a loaded machine (or a
    // sanitizer build) wakes this side late by some milliseconds, never by
    // the difference between the two.
    std::sort(late.begin(), late.end());
    EXPECT_LT(late[late.size() / 2],
              qint64(serial->silentTimeoutMs() + LineFixture::TimeoutMs) / 2 * 1'000'000);
    EXPECT_TRUE(serial->unitSilent(7));
    EXPECT_FALSE(serial->unitSilent(1));
}

// Catches a silent unit the windows do not point out, and one still shown
// silent after it answers again: unit 7 taken off the emulator's line while
// the bus overview watches is marked in its row and in the watch line; the
// monitor says so under its status line after a read of unit 7, and no
// longer once the unit is back and read again.
TEST_F(SilentUnitLine, MonitorAndBusOverviewShowTheSilentUnit)
{
    startLine({"--commands"});
    // No retries: the scan of the 28 IDs without a unit takes 4 s, not 13.
    lineSettings(TimeoutMs, 0);
    startProgram();
    MonitorForm &m = MonitorForm::instance();
    m.cmdBusOverview->click();
    BusOverview &o = m.busOverview();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !o.scan().running(); }, 30000));
    ASSERT_EQ(o.lstUnits->topLevelItemCount(), 4);
    QTreeWidgetItem *seven = o.lstUnits->topLevelItem(3);
    ASSERT_EQ(seven->text(0), QStringLiteral("7"));
    const auto silent = SerialBus::unitSilentNow;
    EXPECT_FALSE(silent(7));

    ASSERT_TRUE(unitsim.command(QStringLiteral("silent 7")));
    o.cmdWatch->click();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return o.lblScan->text().endsWith(
                QLatin1String(" Silent, asked once a cycle: unit 7."));
        },
        30000))
        << o.lblScan->text().toStdString();
    EXPECT_EQ(seven->text(4), QStringLiteral("No answer (silent)"));
    EXPECT_TRUE(silent(7));
    EXPECT_FALSE(silent(5));
    // Stopped while a unit is being asked (as closing the monitor does): no
    // step is due once that answer is in.
    bool stopped = false, answered = false;
    auto *line = dynamic_cast<SerialBus *>(SharedLineDevice::behind(ZelkGlobals::Device.get()));
    ASSERT_NE(line, nullptr);
    line->setFrameTap([&](const ModbusFrameEvent &e) {
        if (e.kind == ModbusFrameEvent::Kind::Request && !stopped) {
            stopped = true;
            QTimer::singleShot(0, &o, [&] { o.close(); });
        } else if (stopped && e.kind != ModbusFrameEvent::Kind::Request) {
            answered = true;
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered && !SharedLine::instance().busy(); }, 10000));
    line->setFrameTap({});
    EXPECT_FALSE(o.isVisible());
    EXPECT_FALSE(o.watching());
    EXPECT_FALSE(o.watchDue());

    m.UnitList->setCurrentText(QStringLiteral("7"));
    m.cmdSelectUnit_Click();
    EXPECT_FALSE(m.lblLineSilent->isHidden());
    EXPECT_EQ(m.lblLineSilent->text(), QStringLiteral("Silent on the line"));
    EXPECT_TRUE(m.lblLineSilent->toolTip().startsWith(QLatin1String("Unit 7 no longer answers")));
    ASSERT_TRUE(unitsim.command(QStringLiteral("answer 7")));
    m.cmdSelectUnit_Click();
    EXPECT_TRUE(m.lblLineSilent->isHidden());
    EXPECT_FALSE(silent(7));
}
