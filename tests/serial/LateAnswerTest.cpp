// Answers that come after their wait: never taken for a later question's.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"

namespace {

using LateAnswers = LineFixture;

using ModuleGet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16 &);
// Three settings of one shape (03, one register): a shifted answer reads as
// a plausible value of the next one.
constexpr ModuleGet SameShape[] = {&ZelkDevice::GetDefaultOutputVoltage,
                                   &ZelkDevice::GetModuleGoodHighThreshold,
                                   &ZelkDevice::GetModuleGoodLowThreshold};

#if defined(__SANITIZE_ADDRESS__)
constexpr int Reads = 48; // the same faults, fewer rounds, where everything runs slower
#else
constexpr int Reads = 200;
#endif

// Frame events of a run of reads.
struct Seen
{
    int good = 0, late = 0, bad = 0, lost = 0;
};

// Reads the three settings of one shape of units 1, 3, 5 and 7, value by
// value, `count` times over the serial device object (its port open): each
// read gives exactly the stored value and reply, or fails with ERR_TIMEOUT
// naming the unit and the port.
Seen readSameShape(SerialBus &serial, ZelkDevice &stored, int count, const QString &port)
{
    Seen seen;
    int reads = 0;
    serial.setFrameTap([&](const ModbusFrameEvent &e) {
        seen.late += e.kind == ModbusFrameEvent::Kind::Late;
        seen.bad += e.kind == ModbusFrameEvent::Kind::BadFrame;
        seen.lost += e.kind == ModbusFrameEvent::Kind::Timeout;
    });
    while (reads < count) {
        for (const int unit : {1, 3, 5, 7}) {
            for (qint16 module = 1; module <= 5 && reads < count; ++module) {
                for (const ModuleGet get : SameShape) {
                    qint16 want = -1, got = -1;
                    const QString wantReply = (stored.*get)(UnitArg(unit), module, want);
                    const QString reply = (serial.*get)(UnitArg(unit), module, got);
                    ++reads;
                    if (reply.startsWith(QLatin1String("ERR_TIMEOUT"))) {
                        EXPECT_TRUE(reply.contains(QStringLiteral("unit %1 on ").arg(unit)) &&
                                    reply.contains(port))
                            << reply.toStdString();
                        continue;
                    }
                    EXPECT_EQ(reply, wantReply) << unit << '/' << module;
                    EXPECT_EQ(got, want) << unit << '/' << module << ' ' << reply.toStdString();
                    seen.good += reply == wantReply && got == want;
                }
            }
        }
    }
    serial.setFrameTap({});
    return seen;
}

} // namespace

// Catches a late answer credited to the next request (a set-point read as
// the high limit, a block refusal as a missing register), a Modbus TCP
// answer taken whatever its transaction number, a damaged answer taken for a
// value, a lost one that is not tried again, and a read that gives up
// without saying so: units 1, 3, 5 and 7, which refuse block reads, read
// value by value while a third of the answers start after the wait for them
// (on the pseudo-terminal and through the emulator's TCP port), or while
// answers are garbled and dropped; every read gives exactly the stored value
// and reply, or fails with ERR_TIMEOUT naming the unit and the port, and the
// late answers are seen and discarded. With every answer garbled, every read
// fails.
TEST_F(LateAnswers, ValueByValueReadsGetTheirOwnAnswerOrFail)
{
    ASSERT_EQ(inProcess->OpenPort(QStringLiteral("COM1")), CmdOk);
    const QStringList late{"--late-rate", "0.33", "--late-ms"}, pty{"--pty", "--link", link};
    const struct
    {
        QStringList emulator;
        qint16 timeoutMs;
        int reads, good;     // more good reads than that; -1: none
        int late, bad, lost; // frame events: 1 some, 0 none, -1 either
    } lines[] = {{pty + late + QStringList{"105"}, 100, Reads, Reads / 2, 1, -1, -1},
                 {QStringList{"--tcp", "0"} + late + QStringList{"110"}, 60, 60, 10, 1, -1, -1},
                 {pty + QStringList{"--garble-rate", "0.25", "--drop-rate", "0.1"}, TimeoutMs, 40,
                  0, -1, 1, 1},
                 {pty + QStringList{"--garble-rate", "1"}, TimeoutMs, 40, -1, -1, 1, 0}};
    // A late answer starts just after the wait for it (105 ms against 100),
    // so a busy machine that delays the emulator has nearly a whole wait
    // before the answer is outside the contract and may be taken for the
    // next request's.
    const auto events = [](int count, int want) {
        return want < 0 || (count > 0) == (want > 0);
    };
    for (const auto &l : lines) {
        SCOPED_TRACE(l.emulator.join(' ').toStdString());
        const QString address =
            unitsim.start(QStringList{"--store", store, "--baud", "115200", "--no-noise",
                                      "--refuse-blocks", "2", "--seed", "3"} +
                          l.emulator);
        const bool tcp = l.emulator[0] == QLatin1String("--tcp");
        ASSERT_TRUE(tcp ? address.startsWith(QLatin1String("127.0.0.1:")) : !address.isEmpty())
            << unitsim.errors().toStdString();
        qint16 timeoutMs = l.timeoutMs, retries = Retries;
        serial->SetINIParams(timeoutMs, retries);
        ASSERT_EQ(
            serial->OpenPort(tcp ? QStringLiteral("tcp://") + address : QStringLiteral("COM1")),
            CmdOk);
        const Seen seen = readSameShape(*serial, *inProcess, l.reads, tcp ? address : link);
        serial->ClosePort();
        unitsim.kill();
        EXPECT_TRUE(events(seen.late, l.late)) << seen.late;
        EXPECT_TRUE(events(seen.bad, l.bad)) << seen.bad;
        EXPECT_TRUE(events(seen.lost, l.lost)) << seen.lost;
        if (l.good < 0)
            EXPECT_EQ(seen.good, 0);
        else
            EXPECT_GT(seen.good, l.good);
    }
}
