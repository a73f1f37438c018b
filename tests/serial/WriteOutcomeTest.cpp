// Writes whose answers are damaged or lost after the unit did them: their
// outcome is settled by reading back, never called "not written" while the
// unit holds the value.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "editor/SupplyConfig.h"

#include <QTest>
#include <tuple>

namespace {

using WriteOutcomes = LineFixture;
using Outcome = SerialBus::WriteSettlement::Outcome;

// The emulator does every write and spoils its every answer; reads are clean.
const char *const SpoiledWrites[][2] = {{"--garble-rate", "1"}, {"--drop-rate", "1"}};

} // namespace

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
