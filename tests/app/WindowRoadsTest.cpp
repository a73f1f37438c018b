// The real windows reaching one another as the program wires them.
#include "AppFixture.h"
#include "core_windows/WindowRegistry.h"

#include <QTest>
#include <gtest/gtest.h>

using WindowRoadsTest = AppFixture;

// Catches an activity that does not open, or a closed window that leaves
// nothing on screen.
TEST_F(WindowRoadsTest, LauncherEditorAndMonitorOpenAndReturn)
{
    MainForm &launcher = MainForm::instance();
    QTest::mouseClick(launcher.Picture1, Qt::LeftButton);
    SupplyConfig &editor = SupplyConfig::instance();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_FALSE(launcher.isVisible());

    // The editor hands over to the monitor, and the monitor back to the editor.
    QTest::mouseClick(editor.cmdMonitor, Qt::LeftButton);
    MonitorForm &monitor = MonitorForm::instance();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_TRUE(monitor.isVisible());
    monitor.cmdEeprom->setEnabled(true); // usable without a unit read
    QTest::mouseClick(monitor.cmdEeprom, Qt::LeftButton);
    EXPECT_TRUE(editor.isVisible());

    // Closing either shows the launcher again.
    monitor.close();
    EXPECT_TRUE(launcher.isVisible());
    launcher.hide();
    QTest::mouseClick(editor.Cancel, Qt::LeftButton);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_TRUE(launcher.isVisible());
}

// Catches a menu item that opens the wrong window, leaves the launcher up, or
// hides it where the editor is meant to show beside it.
TEST_F(WindowRoadsTest, MenusOpenTheActivities)
{
    MainForm &launcher = MainForm::instance();
    const struct
    {
        QAction *item;
        QString window;
        bool launcherStays;
    } roads[] = {{launcher.View, WindowRegistry::Monitor, false},
                 {launcher.Default, WindowRegistry::Editor, false},
                 {launcher.DefaultBeside, WindowRegistry::Editor, true}};
    for (const auto &road : roads) {
        road.item->trigger();
        QWidget *opened = WindowRegistry::existing(road.window);
        ASSERT_NE(opened, nullptr) << road.window.toStdString();
        EXPECT_TRUE(opened->isVisible()) << road.window.toStdString();
        EXPECT_EQ(launcher.isVisible(), road.launcherStays) << road.window.toStdString();
        opened->close();
        EXPECT_TRUE(launcher.isVisible());
    }
    EXPECT_EQ(ZelkGlobals::FileDialogAction, "SHOW");
}
