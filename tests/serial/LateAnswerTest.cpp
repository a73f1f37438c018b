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

// Reads the three settings of one shape of units 1, 3, 5 and 7, value by
// value, `count` times over the serial device object (its port open): each
// read gives exactly the stored value and reply, or fails with ERR_TIMEOUT.
// How many were good, and how many late answers the line saw.
std::pair<int, int> readSameShape(SerialBus &serial, ZelkDevice &stored, int count)
{
    int late = 0, reads = 0, good = 0;
    serial.setFrameTap(
        [&](const ModbusFrameEvent &e) { late += e.kind == ModbusFrameEvent::Kind::Late; });
    while (reads < count) {
        for (const int unit : {1, 3, 5, 7}) {
            for (qint16 module = 1; module <= 5 && reads < count; ++module) {
                for (const ModuleGet get : SameShape) {
                    qint16 want = -1, got = -1;
                    const QString wantReply = (stored.*get)(UnitArg(unit), module, want);
                    const QString reply = (serial.*get)(UnitArg(unit), module, got);
                    ++reads;
                    if (reply.startsWith(QLatin1String("ERR_TIMEOUT")))
                        continue;
                    EXPECT_EQ(reply, wantReply) << unit << '/' << module;
                    EXPECT_EQ(got, want) << unit << '/' << module << ' ' << reply.toStdString();
                    good += reply == wantReply && got == want;
                }
            }
        }
    }
    serial.setFrameTap({});
    return {good, late};
}

} // namespace

// Catches a late answer credited to the next request (a set-point read as
// the high limit, a block refusal as a missing register): units 1, 3, 5 and
// 7, which refuse block reads, read value by value while a third of the
// answers start after the wait for them; every read gives exactly the
// stored value and reply, or fails with ERR_TIMEOUT, and the late answers
// are seen and discarded.
TEST_F(LateAnswers, ValueByValueReadsGetTheirOwnAnswerOrFail)
{
    ASSERT_EQ(inProcess->OpenPort(QStringLiteral("COM1")), CmdOk);
    startLine({"--refuse-blocks", "2", "--late-rate", "0.33", "--late-ms", "80", "--seed", "3"});
    qint16 timeoutMs = 60, retries = 2;
    serial->SetINIParams(timeoutMs, retries);
    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    const auto [good, late] = readSameShape(*serial, *inProcess, Reads);
    serial->ClosePort();
    EXPECT_GT(late, 0);
    EXPECT_GT(good, Reads / 2);
}

// Catches a Modbus TCP answer taken whatever its transaction number: through
// the emulator's TCP port, with a third of the answers late, each read gets
// its own answer or fails, and the late answers are dropped.
TEST_F(LateAnswers, TcpAnswersAreMatchedByTheirTransaction)
{
    ASSERT_EQ(inProcess->OpenPort(QStringLiteral("COM1")), CmdOk);
    const QString address = unitsim.start({"--store", store, "--tcp", "0", "--baud", "115200",
                                           "--no-noise", "--refuse-blocks", "2", "--late-rate",
                                           "0.33", "--late-ms", "110", "--seed", "3"});
    ASSERT_TRUE(address.startsWith(QLatin1String("127.0.0.1:"))) << unitsim.errors().toStdString();
    qint16 timeoutMs = 60, retries = 2;
    serial->SetINIParams(timeoutMs, retries);
    ASSERT_EQ(serial->OpenPort(QStringLiteral("tcp://") + address), CmdOk);
    const auto [good, late] = readSameShape(*serial, *inProcess, 60);
    serial->ClosePort();
    EXPECT_GT(late, 0);
    EXPECT_GT(good, 10);
}
