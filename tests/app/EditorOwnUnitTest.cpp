// The editor and the monitor on two units in turn: each acts on its own unit.
#include "WindowFixture.h"
#include "core/Ini.h"
#include "grouping/frmModuleGrouping.h"

using EditorOwnUnitTest = WindowFixture;

// Catches an editor that writes, saves, groups or restarts the unit the
// monitor read last, or checks and scales its values by that unit's ratings.
TEST_F(EditorOwnUnitTest, MonitorReadingAnotherUnitChangesNothingInTheEditor)
{
    SupplyConfig &editor = editorRead("3");

    // The monitor reads unit 1, whose module 3 is a 24 V type (unit 3's is 150 V).
    QTest::mouseClick(editor.cmdMonitor, Qt::LeftButton);
    MonitorForm &monitor = monitorRead("1");
    ASSERT_FALSE(ZelkGlobals::ErrorFlag);
    QTest::mouseClick(monitor.cmdEeprom, Qt::LeftButton);
    ASSERT_TRUE(editor.isVisible());
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));

    RecordingDevice &log = record();

    // Unit options: written to unit 3; staying on the unit tells to recycle it.
    QTest::mouseClick(editor.optFanFail(editor.optFanFail(0)->isChecked() ? 1 : 0), Qt::LeftButton);
    QTest::mouseClick(editor.cmdApply, Qt::LeftButton);
    emit editor.UnitList->activated(editor.UnitList->currentIndex());
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(env.dialogs.shown[0].text.contains("recycled"));

    // 100 V is inside unit 3's module 3 rating: no refusal, and 100 x 100 counts.
    showModule(3);
    enterAndLeave(editor.vsp(3), "100");
    EXPECT_EQ(env.dialogs.count(), 1) << env.dialogs.texts().join('\n').toStdString();
    QTest::mouseClick(editor.cmdApplyCLM(2), Qt::LeftButton);
    EXPECT_TRUE(log.callTexts().contains("SetDefaultOutputVoltage(\"3\", 3, 10000) -> CMD_OK"))
        << log.callTexts().join('\n').toStdString();

    // The saved file holds the edit under unit 3.
    const QString saved = env.path("two-units.txt");
    env.dialogs.fileAnswers.push_back(saved);
    QTest::mouseClick(editor.Save, Qt::LeftButton);
    EXPECT_EQ(ReadIni("PS3MODULE3", "OutputVoltageSetpoint", saved), "100");

    // Module Groups shows unit 3's two modules.
    QStringList grouped;
    QTimer driver; // runs once the dialog's modal loop shows it
    QObject::connect(&driver, &QTimer::timeout, &editor, [&] {
        frmModuleGrouping &dialog = frmModuleGrouping::instance();
        if (!dialog.isVisible())
            return;
        driver.stop();
        for (QListWidget *list : {dialog.lstAvailableModules, dialog.lstGroupModules})
            for (int row = 0; row < list->count(); ++row)
                grouped << list->item(row)->text();
        dialog.cmdCancel->click();
    });
    driver.start(0);
    QTest::mouseClick(editor.cmdModueGrouping, Qt::LeftButton);
    EXPECT_EQ(grouped.size(), 2) << grouped.join(',').toStdString();

    // Closing the editor offers the restart (Yes): unit 3's outputs.
    QTest::mouseClick(editor.Cancel, Qt::LeftButton);
    EXPECT_TRUE(env.dialogs.shown.back().text.contains("restarted"));
    EXPECT_TRUE(log.methodNames().contains("SetGlobalOutputState"));

    // Every call went to unit 3.
    int unitCalls = 0;
    for (const RecordingDevice::Call &c : log.calls()) {
        if (c.method == "OpenPort" || c.method == "ClosePort")
            continue;
        ++unitCalls;
        EXPECT_TRUE(c.arguments.value(0) == "\"3\"" || c.arguments.value(0) == "3")
            << c.text().toStdString();
    }
    EXPECT_GT(unitCalls, 10);
}
