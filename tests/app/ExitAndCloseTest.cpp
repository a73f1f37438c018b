// Ending the program and closing windows at any moment, in the event loop the
// program runs.
#include "WindowFixture.h"
#include "controls/OstransPushButton.h"

#include <functional>

namespace {
class ExitAndClose : public WindowFixture
{
protected:
    // The launcher stays up beside the editor (Setup menu), and the editor
    // hands over to the monitor: Exit is in reach while either works.
    SupplyConfig &editorBeside()
    {
        MainForm::instance().DefaultBeside->trigger();
        return SupplyConfig::instance();
    }
    MonitorForm &monitorFromTheEditor(const QString &unit)
    {
        QTest::mouseClick(editorBeside().cmdMonitor, Qt::LeftButton);
        return monitorRead(unit);
    }
    // Exit pressed on the launcher from inside an event the action lets run.
    void pressExitSoon()
    {
        QTimer::singleShot(0, [this] {
            exitPressed = true;
            QTest::mouseClick(MainForm::instance().cmdExit, Qt::LeftButton);
        });
    }
    bool exitPressed = false;
    int callsAfterExit = 0;
};
} // namespace

// Catches the device object released under an action that still uses it
// (a crash), an action cut short, or a program that does not end with code 0.
TEST_F(ExitAndClose, ExitDuringAnActionLetsItFinishThenEnds)
{
    struct Case
    {
        const char *during;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"the settle pause of an output switch",
         [&] {
             MonitorForm &monitor = monitorFromTheEditor("1");
             env.clock.hook = [this] {
                 pressExitSoon();
             };
             QTest::mouseClick(monitor.OstransOS[2], Qt::LeftButton);
         }},
        {"a Monitor Mode poll",
         [&] {
             MonitorForm &monitor = monitorFromTheEditor("1");
             monitor.Combo1->setCurrentText("5   Sec.");
             monitor.Check1->setChecked(true);
             RecordingDevice &log = record();
             log.onCall = [this](const RecordingDevice::Call &c) {
                 callsAfterExit += exitPressed;
                 if (c.method == "GetModuleGoodStatusByte" && !exitPressed)
                     pressExitSoon();
             };
             env.clock.monotonic += 5000;
             monitor.Timer2_Timer();
         }},
        {"an editor read",
         [&] {
             editorBeside();
             RecordingDevice &log = record();
             log.onCall = [this](const RecordingDevice::Call &c) {
                 callsAfterExit += exitPressed;
                 if (c.method == "GetPresentModules" && !exitPressed)
                     pressExitSoon();
             };
             pickAndStart("1");
             EXPECT_TRUE(EditorState::UnitShown); // the read ran to its end
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.during);
        exitPressed = false;
        callsAfterExit = 0;
        if (!ZelkGlobals::Device) // the case before ended the program
            startProgram();
        QTimer::singleShot(0, c.act);
        EXPECT_EQ(ZelkApplication::run(), 0);
        EXPECT_TRUE(exitPressed && !ZelkGlobals::Device);
        // The action went on after Exit; a settle pause makes no device call.
        EXPECT_TRUE(&c == &cases[0] || callsAfterExit > 0);
    }
}

// Catches a title-bar close that leaves a polling monitor without its timer,
// or a window that comes back showing what it showed before it was closed.
TEST_F(ExitAndClose, TitleBarCloseFollowsTheCloseButtonAndReopensFromLoad)
{
    MainForm &launcher = MainForm::instance();
    QTest::mouseClick(launcher.Image2, Qt::LeftButton);
    MonitorForm &monitor = monitorRead("1");
    monitor.Check1->setChecked(true); // Monitor Mode: Close is disabled
    ASSERT_FALSE(monitor.cmdClose->isEnabled());
    EXPECT_FALSE(monitor.close());
    EXPECT_TRUE(monitor.isVisible() && monitor.Timer2->isActive());
    monitor.Check1->setChecked(false);
    EXPECT_TRUE(monitor.close() && launcher.isVisible());
    QTest::mouseClick(launcher.Image2, Qt::LeftButton);
    EXPECT_TRUE(!monitor.UnitSelected && !monitor.cmdRefresh->isEnabled() &&
                monitor.cmdClose->isEnabled());

    launcher.show();
    SupplyConfig &editor = editorBeside();
    pickAndStart("3");
    ASSERT_TRUE(EditorState::UnitShown);
    EXPECT_TRUE(editor.close());
    editorBeside();
    EXPECT_FALSE(EditorState::UnitShown || editor.SSTab1(1)->isVisible());
}
