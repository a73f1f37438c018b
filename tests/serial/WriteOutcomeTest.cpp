// Writes whose answers are damaged or lost after the unit did them: their
// outcome is settled by reading back, never called "not written" while the
// unit holds the value.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "editor/EepromWriter.h"
#include "editor/SupplyConfig.h"
#include "monitor/MonitorSession.h"

#include <QTest>

namespace {

using WriteOutcomes = LineFixture;
using Outcome = SerialBus::WriteSettlement::Outcome;

// The emulator does every write and spoils its every answer; reads are clean.
const char *const SpoiledWrites[][2] = {{"--garble-rate", "1"}, {"--drop-rate", "1"}};

} // namespace

// Catches a write reported by its lost answer alone: a set-point, a
// two-register mode, a unit ID change the unit took are confirmed by reading
// them back (CMD_OK, the store holds them); a value the unit refused and a
// change to an ID in use are "not written", saying where the unit answers;
// a unit that answers nothing leaves the outcome unknown.
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
        // Above what module 1's type takes: the unit refused, its refusal lost.
        outcome(serial->SetDefaultOutputVoltage(one, 1, 30000), Outcome::NotWritten,
                "not written: reading it back, the unit holds 3300");
        outcome(serial->SetFanFailPolarity(UnitArg(5), 0), Outcome::Unknown, "ERR_OUTCOME_UNKNOWN");
        qint16 oldId = 3, inUse = 1, freeId = 9;
        outcome(serial->SetNewUnitID(oldId, inUse), Outcome::NotWritten,
                "the unit still answers at unit ID 3");
        outcome(serial->SetNewUnitID(oldId, freeId), Outcome::Confirmed, "CMD_OK");
        EXPECT_EQ(SerialBus::lastWrite().answersAt, 9);

        qint16 setpoint = 0, refused = 0, mode = 0, reset = 0, id = 0;
        EXPECT_EQ(serial->GetDefaultOutputVoltage(one, 2, setpoint), CmdOk);
        EXPECT_EQ(serial->GetDefaultOutputVoltage(one, 1, refused), CmdOk);
        EXPECT_EQ(serial->GetCurrentLimitMode(one, 2, mode, reset), CmdOk);
        EXPECT_EQ(serial->GetUnitID(freeId, id), CmdOk);
        EXPECT_EQ(setpoint, 11500);
        EXPECT_EQ(refused, 3300);
        EXPECT_EQ(std::pair(mode, reset), std::pair(qint16(1), qint16(1)));
        EXPECT_EQ(id, 9);
        serial->ClosePort();
        unitsim.kill();
        QFile::remove(store); // the next line starts from the demo bus again
    }
}

// Catches the editor and the monitor calling a write failed when only its
// answer was lost: the editor's unit options and module set-point, and the
// monitor's set-point and output switch, succeed, and the unit holds them.
TEST_F(WriteOutcomes, EditorAndMonitorWritesWithLostAnswersSucceed)
{
    startLine({"--writes-only", "--drop-rate", "1"});
    EepromWriter writer(*ZelkGlobals::Device, QStringLiteral("1"), ZelkGlobals::ComPort,
                        QStringLiteral("."));
    EXPECT_EQ(writer.writeUnitOptions({0, 1, 0, 1, 1}), EepromWriter::Result::Written);

    MonitorSession session;
    ZelkGlobals::SelectedUnitID = QStringLiteral("1");
    session.readUnit(QStringLiteral("1"));
    ASSERT_FALSE(ZelkGlobals::ErrorFlag) << ZelkGlobals::LastError.toStdString();
    EXPECT_TRUE(session.setVoltageSetpoint(QStringLiteral("1"), 2, 11000).ok());
    EXPECT_TRUE(session.setOutputState(QStringLiteral("1"), 3, false).ok());

    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    qint16 fan = -1;
    StatusArray outputs;
    EXPECT_EQ(serial->GetFanFailPolarity(UnitArg(1), fan), CmdOk);
    EXPECT_EQ(serial->GetOutputState(UnitArg(1), outputs), CmdOk);
    serial->ClosePort();
    EXPECT_EQ(fan, 0);
    EXPECT_EQ(outputs(3), 0);
    EXPECT_EQ(session.data().Module(2).MeasuredVoltage, QStringLiteral("11.00"));
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
