// The module grouping dialog on the demo bus (unit 1: module 1 group 1,
// modules 2+3 group 2 "Normally On" 250 ms, modules 4+5 group 3), opened as
// the editor opens it, every call recorded.
#include "WindowFixture.h"
#include "grouping/frmModuleGrouping.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {
QStringList itemsOf(const QListWidget *list)
{
    QStringList items;
    for (int row = 0; row < list->count(); ++row)
        items << list->item(row)->text();
    return items;
}
} // namespace

class GroupingDialogTest : public WindowFixture
{
protected:
    std::unique_ptr<frmModuleGrouping> dialog;

    void SetUp() override
    {
        WindowFixture::SetUp();
        record();
        ZelkGlobals::SelectedUnitID = "1";
        ZelkGlobals::PresentModulesText = "11111000";
    }
    void TearDown() override
    {
        dialog.reset();
        WindowFixture::TearDown();
    }

    frmModuleGrouping &open()
    {
        dialog = std::make_unique<frmModuleGrouping>();
        dialog->show();
        dialog->Form_Load();
        return *dialog;
    }
    void selectGroup(int index)
    {
        dialog->cboGroup->setCurrentIndex(index);
        emit dialog->cboGroup->activated(index);
    }
    void typeDelay(const QString &text)
    {
        dialog->txtStartupDelay->clear();
        QTest::keyClicks(dialog->txtStartupDelay, text);
    }
    QStringList callsNamed(const QString &prefix) const
    {
        return log->callTexts().filter(QRegularExpression(QLatin1Char('^') + prefix));
    }
};

// Catches wrong lists per group, a wrong representative start-up read, and
// the move button staying dead in group 1 after the unit answers again.
TEST_F(GroupingDialogTest, ListsStartupAndMovingFollowTheSelectedGroupAndTheUnit)
{
    ZelkGlobals::PresentModulesText = "11010000";
    onBus([](SimulatedBus &b) { b.SetGroupID("1", 4, 2); });
    frmModuleGrouping &d = open();
    EXPECT_EQ(d.cboGroup->currentText(), "Group 1 (Un-grouped)");
    EXPECT_EQ(itemsOf(d.lstGroupModules), QStringList{"Module 1"});
    EXPECT_EQ(itemsOf(d.lstAvailableModules), (QStringList{"Module 2", "Module 4"}));
    EXPECT_FALSE(d.frmStartupState->isEnabled() || d.cmdApply->isEnabled());

    // Typing into the selector changes nothing.
    QTest::keyClicks(d.cboGroup->lineEdit(), "Group 3");
    EXPECT_EQ(d.CurrentGroup(), 1);

    selectGroup(1);
    EXPECT_EQ(d.lblGroupModules->text(), "Group2 Modules");
    EXPECT_EQ(itemsOf(d.lstGroupModules), (QStringList{"Module 2", "Module 4"}));
    EXPECT_EQ(itemsOf(d.lstAvailableModules), QStringList{"Module 1"});
    EXPECT_TRUE(d.optGrpStartupState.at(1)->isChecked() && d.txtStartupDelay->isEnabled() &&
                d.txtStartupDelay->text() == "250");
    EXPECT_EQ(d.txtStartupDelay->palette().color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_TRUE(callsNamed("GetDefaultOutputOnOffState").size() == 1 &&
                callsNamed("GetDefaultOutputOnOffState").value(0).contains(", 2, "));

    // The unit silent once: the selection stays on group 2 and nothing moves
    // until the unit answers again.
    bus->failMethod("GetPresentModules", "ERR_TIMEOUT", 1, 0, SimBusFaults::Count::Once);
    selectGroup(2);
    EXPECT_FALSE(d.btnAssign->isEnabled() || d.frmStartupState->isEnabled() ||
                 d.CurrentGroup() != 2);
    selectGroup(0);
    EXPECT_TRUE(d.btnAssign->isEnabled());
}

// Catches a module whose group could not be read being offered for moving.
TEST_F(GroupingDialogTest, FailedGroupReadListsModuleNowhere)
{
    bus->failMethod("GetGroupID", "ERR_TIMEOUT", 1, 2);
    frmModuleGrouping &d = open();
    EXPECT_EQ(itemsOf(d.lstGroupModules), QStringList{"Module 1"});
    EXPECT_EQ(itemsOf(d.lstAvailableModules), (QStringList{"Module 3", "Module 4", "Module 5"}));
    EXPECT_EQ(ZelkGlobals::LastError, "Error in GetGroupID in Unit 1 and Module 2 ERR_TIMEOUT");
    EXPECT_FALSE(ZelkGlobals::ErrorFlag);
    EXPECT_TRUE(env.readFile(QFileInfo(ZelkGlobals::ErrorFilePath).fileName())
                    .contains("[Error in GetGroupID in Unit  1 and Module 2]"));
}

// Catches letters reaching the delay box, a Reset that does not bring back
// the delay read, the delay check not reaching Apply (a delay above 65000
// written, or 65000 refused), help going to the wrong topic or file, and
// "Normally Off" writing the typed delay or state 1.
TEST_F(GroupingDialogTest, DelayKeysResetLimitOnApplyHelpAndNormallyOff)
{
    frmModuleGrouping &d = open();
    selectGroup(1);
    typeDelay("1x2");
    EXPECT_TRUE(d.txtStartupDelay->text() == "12" && d.cmdReset->isEnabled());
    EXPECT_EQ(env.dialogs.texts().last(), "Please enter numeric values");
    QTest::mouseClick(d.cmdReset, Qt::LeftButton);
    EXPECT_TRUE(d.txtStartupDelay->text() == "250" && !d.cmdReset->isEnabled());

    record();
    typeDelay("65001");
    QTest::mouseClick(d.cmdApply, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.texts().last(), "Startup delay value should be less then 65000 ms.");
    EXPECT_TRUE(callsNamed("Set").isEmpty() && !d.GroupingApplied());

    typeDelay("65000");
    QTest::mouseClick(d.cmdApply, Qt::LeftButton);
    EXPECT_EQ(log->methodNames().filter(QRegularExpression("^Set")),
              QString("SetGroupID SetDefaultOutputOnOffState SetOutputTurnONDelay SetGroupID "
                      "SetDefaultOutputOnOffState SetOutputTurnONDelay")
                  .split(' '));
    EXPECT_TRUE(callsNamed("SetOutputTurnONDelay").value(0).contains("65000"));
    EXPECT_TRUE(d.GroupingApplied() && !d.cmdApply->isEnabled() && !d.cmdReset->isEnabled());

    env.desktop.helpAvailable = false;
    const int boxes = env.dialogs.count();
    QTest::mouseClick(d.cmdHelp, Qt::LeftButton);
    EXPECT_EQ(env.desktop.helpTopics,
              QStringList{env.path("zelksdk.chm") + "::GroupingOverview.html"});
    EXPECT_EQ(env.dialogs.count(), boxes);

    selectGroup(2); // modules 4 and 5
    typeDelay("700");
    QTest::mouseClick(d.optGrpStartupState.at(2), Qt::LeftButton);
    EXPECT_FALSE(d.txtStartupDelay->isEnabled());
    EXPECT_EQ(d.txtStartupDelay->palette().color(QPalette::Base), QColor(224, 224, 224));
    record();
    QTest::mouseClick(d.cmdApply, Qt::LeftButton);
    QStringList expected;
    for (const char *m : {"4", "5"})
        expected << QString("SetGroupID(\"1\", %1, 3) -> CMD_OK").arg(m)
                 << QString("SetDefaultOutputOnOffState(\"1\", %1, 0) -> CMD_OK").arg(m)
                 << QString("SetOutputTurnONDelay(\"1\", %1, 0) -> CMD_OK").arg(m);
    EXPECT_EQ(callsNamed("Set"), expected);
}

// Catches ungrouping writing start-up settings, or modules written in position
// order; Apply with an empty group writing anything, and a wrong empty-group
// display.
TEST_F(GroupingDialogTest, GroupOneWritesOnlyGroupIdsInListOrderAndAnEmptyGroupIsRefused)
{
    frmModuleGrouping &d = open();
    QTest::mouseClick(d.btnAssign, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.texts().last(), "Please select a module");
    d.lstAvailableModules->setCurrentRow(2); // Module 4
    QTest::mouseClick(d.btnAssign, Qt::LeftButton);
    d.lstAvailableModules->setCurrentRow(0); // Module 2
    QTest::mouseClick(d.btnAssign, Qt::LeftButton);
    EXPECT_EQ(itemsOf(d.lstGroupModules), (QStringList{"Module 1", "Module 4", "Module 2"}));
    record();
    QTest::mouseClick(d.cmdApply, Qt::LeftButton);
    EXPECT_EQ(callsNamed("Set"),
              (QStringList{"SetGroupID(\"1\", 1, 1) -> CMD_OK", "SetGroupID(\"1\", 4, 1) -> CMD_OK",
                           "SetGroupID(\"1\", 2, 1) -> CMD_OK"}));

    // Unit 3, modules 1 and 3: group 3 is empty.
    ZelkGlobals::SelectedUnitID = "3";
    ZelkGlobals::PresentModulesText = "10100000";
    open();
    selectGroup(2);
    EXPECT_TRUE(dialog->lstGroupModules->count() == 0 &&
                dialog->optGrpStartupState.at(1)->isChecked() &&
                dialog->txtStartupDelay->isEnabled() && dialog->txtStartupDelay->text().isEmpty());
    QTest::mouseClick(dialog->optGrpStartupState.at(1), Qt::LeftButton);
    record();
    QTest::mouseClick(dialog->cmdApply, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.texts().last(), "Please select some modules for the group.");
    EXPECT_EQ(log->methodNames(), QStringList{"GetPresentModules"});
}

// Catches a lost reload request, a port closed too early or left open.
TEST_F(GroupingDialogTest, CloseAfterApplyReloadsOpenerAndClosesPort)
{
    int appliedCalls = 0;
    QStringList closeOrder;
    frmModuleGrouping &d = open();
    d.setOnApplied([&] { ++appliedCalls; });
    d.setOnAppliedClose([&] { closeOrder << log->methodNames().last(); });
    selectGroup(1);
    d.lstAvailableModules->setCurrentRow(0); // Module 1
    QTest::mouseClick(d.btnAssign, Qt::LeftButton);
    QTest::mouseClick(d.cmdApply, Qt::LeftButton);
    EXPECT_TRUE(appliedCalls == 1 && !log->methodNames().contains("ClosePort"));
    QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
    EXPECT_TRUE(!d.isVisible() && closeOrder.size() == 1 && !bus->portOpen());
    EXPECT_NE(closeOrder.value(0), "ClosePort");
    EXPECT_EQ(log->methodNames().last(), "ClosePort");

    // What the reloaded editor reads back: module 1 now in group 2, port freed.
    frmModuleGrouping &reopened = open();
    selectGroup(1);
    EXPECT_EQ(itemsOf(reopened.lstGroupModules), (QStringList{"Module 1", "Module 2", "Module 3"}));
    dialog.reset();
    EXPECT_FALSE(bus->portOpen());

    // Closing without an Apply does not reload the opener.
    open().setOnAppliedClose([&] { closeOrder << "again"; });
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(closeOrder.size() == 1 && !bus->portOpen());
}

// Catches the dialog coming up (and blocking) on a port that could not be opened.
TEST_F(GroupingDialogTest, PortFailureShowsNothingAndRecordsError)
{
    ZelkGlobals::ComPort = "COM99";
    frmModuleGrouping d;
    bool cameUp = false;
    QTimer::singleShot(0, &d, [&] {
        cameUp = d.isVisible();
        d.reject();
    });
    EXPECT_EQ(d.showModal(), QDialog::Rejected);
    EXPECT_FALSE(cameUp);
    ASSERT_EQ(env.dialogs.count(), 2);
    EXPECT_TRUE(env.dialogs.shown[0].title == "Zelk, Software. Halvex Electronics" &&
                env.dialogs.shown[0].icon == MsgIcon::Critical);
    EXPECT_EQ(env.dialogs.shown[1].text,
              QStringLiteral("Unit 1 Does not Respond, make sure is properly connected and is "
                             "the correct UnitID Number"));
    EXPECT_TRUE(ZelkGlobals::ErrorFlag);
    EXPECT_EQ(ZelkGlobals::LastError, QStringLiteral("Can not open Com port, make sure you "
                                                     "selected the correct Com port (COM1, COM2 "
                                                     "...)COM99"));
}
