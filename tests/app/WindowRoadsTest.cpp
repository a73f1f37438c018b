// The real windows reaching one another as the program wires them.
#include "WindowFixture.h"
#include "core_windows/WindowRegistry.h"

using WindowRoadsTest = WindowFixture;

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
                 {launcher.DefaultBeside, WindowRegistry::Editor, true},
                 {launcher.TestPlans, WindowRegistry::TestPlans, true}};
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
