// The emulator's faults on the line: answers that come after their wait
// (never taken for a later question's), writes whose answers are damaged or
// lost after the unit did them (settled by reading back, never called "not
// written" while the unit holds the value), and the constant-current loads
// and alarms a command or an option sets, as a read over the line sees them.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "editor/SupplyConfig.h"

#include <QTest>
#include <gmock/gmock.h>
#include <string>
#include <tuple>
#include <vector>

namespace {

using LateAnswers = LineFixture;
using WriteOutcomes = LineFixture;
using UnitSimCommandLine = LineFixture;
using ::testing::HasSubstr;

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

using Outcome = SerialBus::WriteSettlement::Outcome;

// The emulator does every write and spoils its every answer; reads are clean.
const char *const SpoiledWrites[][2] = {{"--garble-rate", "1"}, {"--drop-rate", "1"}};

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

// Catches a write reported by its lost answer alone, which the editor and
// the monitor would call failed: a set-point, a two-register mode, a unit
// option, the monitor's live set-point and output switch, a unit ID change
// the unit took are confirmed by reading them back (CMD_OK, the unit holds
// them); a value the unit refused and a change to an ID in use are "not
// written", saying where the unit answers; a unit that answers nothing
// leaves the outcome unknown.
TEST_F(WriteOutcomes, WritesWithoutAGoodAnswerAreSettledByReadingBack)
{
    for (const auto &faults : SpoiledWrites) {
        SCOPED_TRACE(faults[0]);
        startLine({"--writes-only", faults[0], faults[1], "--silent", "5"});
        ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
        const UnitArg one(1);
        const auto outcome = [&](const QString &reply, Outcome want, const char *text) {
            EXPECT_EQ(SerialBus::lastWrite().outcome, want) << reply.toStdString();
            EXPECT_TRUE(reply.contains(QLatin1String(text))) << reply.toStdString();
        };
        outcome(serial->SetDefaultOutputVoltage(one, 2, 11500), Outcome::Confirmed, "CMD_OK");
        outcome(serial->SetCurrentLimitMode(one, 2, 1, 1), Outcome::Confirmed, "CMD_OK");
        // A unit option, then the monitor's live set-point and output switch.
        outcome(serial->SetFanFailPolarity(one, 0), Outcome::Confirmed, "CMD_OK");
        outcome(serial->SetOutputVoltageSetpoint(one, 2, 11000), Outcome::Confirmed, "CMD_OK");
        outcome(serial->SetOutputState(one, 3, 0), Outcome::Confirmed, "CMD_OK");
        // Above what module 1's type takes: the unit refused, its refusal lost.
        outcome(serial->SetDefaultOutputVoltage(one, 1, 30000), Outcome::NotWritten,
                "not written: reading it back, the unit holds 3300");
        outcome(serial->SetFanFailPolarity(UnitArg(5), 0), Outcome::Unknown, "ERR_OUTCOME_UNKNOWN");
        qint16 oldId = 3, inUse = 1, freeId = 9;
        outcome(serial->SetNewUnitID(oldId, inUse), Outcome::NotWritten,
                "the unit still answers at unit ID 3");
        outcome(serial->SetNewUnitID(oldId, freeId), Outcome::Confirmed, "CMD_OK");
        EXPECT_EQ(SerialBus::lastWrite().answersAt, 9);

        qint16 setpoint = 0, refused = 0, mode = 0, reset = 0, id = 0, volts = 0, fan = -1;
        StatusArray outputs;
        for (const QString &reply :
             {serial->GetDefaultOutputVoltage(one, 2, setpoint),
              serial->GetDefaultOutputVoltage(one, 1, refused),
              serial->GetCurrentLimitMode(one, 2, mode, reset), serial->GetUnitID(freeId, id),
              serial->MeasureOutputVoltage(one, 2, volts), serial->GetFanFailPolarity(one, fan),
              serial->GetOutputState(one, outputs)})
            EXPECT_EQ(reply, CmdOk);
        EXPECT_EQ(std::tuple(setpoint, refused, mode, reset, id, volts, fan, outputs(3)),
                  std::tuple(11500, 3300, 1, 1, 9, 11000, 0, 0));
        serial->ClosePort();
        unitsim.kill();
        QFile::remove(store); // the next line starts from the demo bus again
    }
}

// Catches a unit ID change the unit took that the editor calls failed (its
// answer lost), and a failed one that does not say where the unit answers:
// 3 -> 9 is done, 9 -> 1 (in use) fails and says the unit is still at 9.
TEST_F(WriteOutcomes, EditorUnitIdChangeSaysWhereTheUnitAnswers)
{
    startLine({"--writes-only", "--garble-rate", "1"});
    startProgram();
    QTest::mouseClick(MainForm::instance().Picture1, Qt::LeftButton);
    SupplyConfig &e = SupplyConfig::instance();
    const auto change = [&](const char *from, const char *to) {
        env.dialogs.shown.clear();
        env.dialogs.inputAnswers = {{true, QLatin1String(from)}, {true, QLatin1String(to)}};
        QTest::mouseClick(e.cmdChangeToNewUnitID, Qt::LeftButton);
        QStringList boxes;
        for (const auto &box : env.dialogs.shown)
            if (box.kind == QLatin1String("MsgBox"))
                boxes << box.text;
        return boxes;
    };
    QStringList boxes = change("3", "9");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(QLatin1String("The changes made will not take effect")));
    boxes = change("9", "1");
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[0].startsWith(QLatin1String("Error trying to change Unit ID")));
    EXPECT_EQ(boxes[1], QStringLiteral("The unit still answers at Unit ID 9: its Unit ID was not "
                                       "changed."));
}

// Catches a wrong load or alarm taken (or confirmed), and a refusal that does
// not say what the command takes or what the bus lacks; the same for --load,
// which ends the emulator with 2 before it serves. Catches too a load the
// module does not draw, one that passes its current limit, a store load that
// no longer applies, an option not applied at the start, and an alarm name on
// the wrong status flag: unit 1's module 1 (80 counts an ampere, limit 80 A
// in Normal mode, a store load of 40 A) and module 2 (200 counts an ampere,
// 3 A from --load), then each alarm on and off alone.
TEST_F(UnitSimCommandLine, LoadsAndAlarmsAreTakenOrRefusedWithWhatTheyTake)
{
    for (const auto &[loads, told] : {std::pair{"1:1:2,1:0:1", "module 1..5"},
                                      {"9:1:1", "no unit 9 on the bus"},
                                      {"5:1:1", "unit 5 has no module 1"}}) {
        UnitSimProcess wrong;
        EXPECT_TRUE(wrong.start({"--store", store, "--pty", "--load", loads}).isEmpty()) << loads;
        wrong.process.waitForFinished(10000); // false when it has ended already
        ASSERT_EQ(wrong.process.state(), QProcess::NotRunning) << loads;
        EXPECT_EQ(wrong.process.exitCode(), 2) << loads;
        const std::string errors = wrong.errors().toStdString();
        EXPECT_THAT(errors, HasSubstr("--load: ")) << loads;
        EXPECT_THAT(errors, HasSubstr(told)) << loads;
    }

    startLine({"--commands", "--load", "1:2:3"});
    for (const auto &[command, told] :
         {std::pair{"load 1 1", "(load UNIT MODULE AMPS: unit 1..32, module 1..5, AMPS 0 or more)"},
          {"load 1 6 2", "module 1..5"},
          {"load 1 1 inf", "AMPS 0 or more"},
          {"load 5 1 2", "load 5 1 2: unit 5 has no module 1"},
          {"load 9 1 2", "load 9 1 2: no unit 9 on the bus"},
          {"alarm 1 smoke on", "NAME over-temp, fan-fail, ac-fail or dc-good"},
          {"alarm 1 over-temp yes", "alarm UNIT NAME on|off"},
          {"alarm 9 fan-fail on", "no unit 9 on the bus"},
          {"unload 1", "load UNIT MODULE AMPS, alarm UNIT NAME on|off"}})
        EXPECT_THAT(unitsim.refusal(QLatin1String(command)).toStdString(), HasSubstr(told))
            << command;
    // Nothing refused was confirmed: the next line out is the next command's.
    EXPECT_TRUE(unitsim.command(QStringLiteral("alarm 3 ac-fail on")));

    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    serial->setBlockReads(false); // every read asks the unit, none a kept run
    const auto current = [&](int module) {
        qint16 raw = -1;
        EXPECT_EQ(serial->MeasureOutputCurrent(UnitArg(1), qint16(module), raw), CmdOk);
        return raw;
    };
    EXPECT_EQ(current(2), 600);
    EXPECT_EQ(current(1), 3200);
    for (const auto &[command, raw] : {std::pair{"load 1 1 2.5", 200},
                                       {"load 1 1 0", 0},
                                       {"load 1 1 100", 6400},
                                       {"load 1 1 2.5", 200}}) {
        ASSERT_TRUE(unitsim.command(QLatin1String(command))) << command;
        EXPECT_EQ(current(1), raw) << command;
    }

    const struct
    {
        const char *name;
        bool ZelkData::*fine;
    } alarms[] = {{"over-temp", &ZelkData::OverTemp},
                  {"fan-fail", &ZelkData::FanFail},
                  {"ac-fail", &ZelkData::AcOk},
                  {"dc-good", &ZelkData::GlobalDC}};
    const auto flags = [&] {
        ZelkData data;
        data.UnitID = QStringLiteral("1");
        data.GetGlobalStatusByte();
        std::vector<bool> fine;
        for (const auto &alarm : alarms)
            fine.push_back(data.*alarm.fine);
        return fine;
    };
    const std::vector<bool> allFine(std::size(alarms), true);
    ASSERT_EQ(flags(), allFine);
    for (std::size_t i = 0; i < std::size(alarms); ++i) {
        const QString name = QLatin1String(alarms[i].name);
        ASSERT_TRUE(unitsim.command(QStringLiteral("alarm 1 %1 on").arg(name)));
        std::vector<bool> raised = allFine;
        raised[i] = false;
        EXPECT_EQ(flags(), raised) << alarms[i].name;
        ASSERT_TRUE(unitsim.command(QStringLiteral("alarm 1 %1 off").arg(name)));
        EXPECT_EQ(flags(), allFine) << alarms[i].name;
    }
}
