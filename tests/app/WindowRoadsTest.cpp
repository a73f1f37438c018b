// The real windows reaching one another as the program wires them.
#include "MainForm.h"
#include "MonitorForm.h"
#include "SimulatedBus.h"
#include "SupplyConfig.h"
#include "TestSeams.h"
#include "WindowRegistry.h"
#include "ZelkGlobals.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
class WindowRoadsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(file));
        registerSimulatedBus();
        ZelkGlobals::ApplicationFolder = env.folder();
        // As the program registers them at start.
        WindowRegistry::registerWindow(WindowRegistry::Launcher,
                                       [] { return &MainForm::instance(); });
        WindowRegistry::registerWindow(WindowRegistry::Editor,
                                       [] { return &SupplyConfig::instance(); });
        WindowRegistry::registerWindow(WindowRegistry::Monitor,
                                       [] { return &MonitorForm::instance(); });
        ASSERT_TRUE(MainForm::instance().Form_Load());
        MainForm::instance().show();
    }
    void TearDown() override
    {
        SupplyConfig::destroyInstance();
        MonitorForm::destroyInstance();
        MainForm::destroyInstance();
        WindowRegistry::clear();
    }
    TestEnvironment env;
};
} // namespace

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
