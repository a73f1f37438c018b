// The editor's Load: a file section set against the unit shown, rows applied
// after the user confirms, each write read back.
#include "EditorShown.h"
#include "WindowFixture.h"
#include "configfile/ConfigSession.h"
#include "core/IniFile.h"
#include "editor/LoadConfigDialog.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {

using Load = WindowFixture;

QStringList column(const QTableWidget *table, int c)
{
    QStringList texts;
    for (int r = 0; r < table->rowCount(); ++r)
        texts << table->item(r, c)->text();
    return texts;
}

} // namespace

// Catches a Load that writes before the user confirms, lists what does not
// differ, hides a refusal, writes unticked rows or does not show the verify.
TEST_F(Load, PickSectionApplyTwoRowsAndSeeTheVerify)
{
    // The File frame is up only before a unit is shown: Load reads the unit picked.
    SupplyConfig &e = editor();
    pick("1");
    ASSERT_TRUE(e.Load->isVisible());
    const QString path = env.path("units.txt");
    {
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        ASSERT_EQ(session.save(path, {1, 3}).saved, (QList<int>{1, 3}));
    }
    const QString fanFail = IniFile::readString(path, "PS1", "FanFail");
    for (const auto &[section, key, value] :
         {std::tuple{"PS1", "FanFail", fanFail == "1" ? "0" : "1"},
          {"PS1MODULE2", "StartUpDelay", "300"},
          {"PS1MODULE2", "OutputVoltageSetpoint", "11.5"},
          {"PS1MODULE3", "CurrentLimit", "16"}})
        ASSERT_TRUE(IniFile::writeString(path, section, key, value));

    RecordingDevice &rec = record();
    env.dialogs.fileAnswers = {path};
    QTest::mouseClick(e.Load, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(EditorState::UnitShown);
    EXPECT_EQ(env.dialogs.shown[0].file.title, "Load Zelk Parameters from a file");
    auto *dialog = e.findChild<LoadConfigDialog *>("frmLoadConfig");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    EXPECT_EQ(dialog->cboSection->count(), 32); // a save writes every ID
    EXPECT_EQ(dialog->cboSection->currentText(), "PS1");

    // A section of an ID that was never read holds no configuration: nothing to apply.
    dialog->cboSection->setCurrentIndex(dialog->cboSection->findText("PS2"));
    EXPECT_TRUE(dialog->lblSummary->text().startsWith("[PS2] was never read from a unit"));
    EXPECT_EQ(dialog->tblDiff->rowCount(), 0);
    for (const QPushButton *b : {dialog->cmdApplyAll, dialog->cmdApplyChosen, dialog->cmdClone})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    // Unit 3's section refuses the modules that are not unit 1's, and says
    // under the list that it is another unit's.
    dialog->cboSection->setCurrentIndex(dialog->cboSection->findText("PS3"));
    EXPECT_TRUE(
        column(dialog->tblDiff, 3).join('\n').contains("Refused: ModuleCode=ZM 12V/30A (line "));
    EXPECT_TRUE(dialog->txtNotes->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->txtNotes->toPlainText().contains("Serial"))
        << dialog->txtNotes->toPlainText().toStdString();
    dialog->cboSection->setCurrentIndex(dialog->cboSection->findText("PS1"));
    EXPECT_EQ(column(dialog->tblDiff, 0),
              (QStringList{"Fan fail signal", "Module 2 Start-up delay", "Module 2 Set-point",
                           "Module 3 Current limit"}));
    EXPECT_EQ(column(dialog->tblDiff, 1).mid(1, 2), (QStringList{"250 ms", "12 V"}));
    EXPECT_EQ(column(dialog->tblDiff, 2).mid(1, 2), (QStringList{"300 ms", "11.5 V"}));
    EXPECT_TRUE(column(dialog->tblDiff, 3).value(3).startsWith("Refused: CurrentLimit=16 (line "))
        << column(dialog->tblDiff, 3).value(3).toStdString();
    EXPECT_TRUE(rec.methodNames().filter("Set").isEmpty());

    // Untick the fan-fail row; a No writes nothing, a Yes writes the two.
    dialog->tblDiff->item(0, 0)->setCheckState(Qt::Unchecked);
    env.dialogs.msgAnswers = {MsgResult::No};
    QTest::mouseClick(dialog->cmdApplyChosen, Qt::LeftButton);
    EXPECT_TRUE(rec.methodNames().filter("Set").isEmpty());
    env.dialogs.msgAnswers = {MsgResult::Yes};
    QTest::mouseClick(dialog->cmdApplyChosen, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.shown.back().text, "Write 2 setting(s) from [PS1] into unit 1?");
    EXPECT_EQ(rec.methodNames().filter("Set"),
              (QStringList{"SetOutputTurnONDelayExUShort", "SetDefaultOutputVoltage"}));
    // The summary says what was verified and that the refused limit was not written.
    EXPECT_EQ(dialog->txtResult->toPlainText(),
              "Module 2 Start-up delay = 300 ms: written, verified\n"
              "Module 2 Set-point = 11.5 V: written, verified\n"
              "Verify: 2 of 2 written setting(s) read back as written\n"
              "Not in the list to write: 1 setting(s) the file holds that the unit refuses or "
              "that are held back with them");
    // The list is read afresh; the editor shows the unit as it is now.
    EXPECT_EQ(column(dialog->tblDiff, 0),
              (QStringList{"Fan fail signal", "Module 3 Current limit"}));
    EXPECT_EQ(e.vsp(2)->text(), "11.5");
    EXPECT_TRUE(EditorState::ModuleOptionsChanged && EditorState::ChangesWritten);
}

// Catches a clone that stops at a unit that fails, copies into modules of
// another type, or reads IDs it should refuse.
TEST_F(Load, CloneIntoSeveralUnitsSummarisesEach)
{
    EXPECT_TRUE(!LoadConfigDialog::cloneUnits("2, 33") && !LoadConfigDialog::cloneUnits(" "));
    EXPECT_EQ(LoadConfigDialog::cloneUnits("ALL"), QList<int>{});
    EXPECT_EQ(LoadConfigDialog::cloneUnits("2 4,4;7"), (QList<int>{2, 4, 7}));

    SupplyConfig &e = editor();
    QTest::mouseClick(e.Load, Qt::LeftButton); // nothing picked: no file is asked for
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Please select a valid unit."});
    pick("3");
    const QString path = env.path("unit3.txt");
    {
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        ASSERT_TRUE(session.save(path, {3}).written);
    }
    const bool fanFail = IniFile::readString(path, "PS3", "FanFail") == "1";
    ASSERT_TRUE(IniFile::writeString(path, "PS3", "FanFail", fanFail ? "0" : "1"));
    ASSERT_TRUE(bus->setUnitSilent(5, true));

    env.dialogs.fileAnswers = {path};
    QTest::mouseClick(e.Load, Qt::LeftButton);
    auto *dialog = e.findChild<LoadConfigDialog *>("frmLoadConfig");
    ASSERT_TRUE(dialog);
    dialog->txtCloneUnits->setText("3, 5, 7");
    env.dialogs.msgAnswers = {MsgResult::Yes};
    QTest::mouseClick(dialog->cmdClone, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.shown.back().text, "Write what differs from [PS3] into unit(s) 3, 5, 7?");
    const QStringList lines = dialog->txtResult->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3) << dialog->txtResult->toPlainText().toStdString();
    EXPECT_EQ(lines.at(0), "Unit 3: 1 difference(s), 1 written, verified");
    EXPECT_TRUE(lines.at(1).startsWith("Unit 5: unit 5 does not answer"))
        << lines.at(1).toStdString();
    EXPECT_TRUE(lines.at(2).startsWith("Unit 7: ") && lines.at(2).contains(", 2 refused, "))
        << lines.at(2).toStdString();
    EXPECT_EQ(e.optFanFail(fanFail ? 1 : 0)->isChecked(), true); // the shown unit read again
}
