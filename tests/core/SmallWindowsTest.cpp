// The serial port dialog, the busy window and the window registry.
#include "TestSeams.h"
#include "core/Ini.h"
#include "core/ZelkGlobals.h"
#include "core_windows/CommParamsForm.h"
#include "core_windows/WindowRegistry.h"
#include "core_windows/frmPleaseWait.h"

#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class PortDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.copyShipped("ZelkGui.ini");
        ZelkGlobals::GuiIniPath = env.path("ZelkGui.ini");
        ZelkGlobals::ComPort = "COM4";
    }
    TestEnvironment env;
};
} // namespace

// Catches the dialog opening on another port than the one in use, Cancel
// leaking the new choice, a typed port being checked, altered or not stored,
// and a failed store not being reported.
TEST_F(PortDialogTest, OpensOnTheCurrentPortAndSaveStoresWhateverTheComboHolds)
{
    const QByteArray before = env.readFile("ZelkGui.ini");
    CommParamsForm form;
    EXPECT_EQ(form.Com->text(), "COM4");
    EXPECT_EQ(form.ComPort->currentText(), "COM4");
    ASSERT_GE(form.ComPort->count(), 9); // then the ports the system reports
    EXPECT_EQ(form.ComPort->itemText(0), "COM1");
    EXPECT_EQ(form.ComPort->itemText(8), "COM9");
    EXPECT_EQ((QStringList{form.windowTitle(), form.Baud->text(), form.Parity->text(),
                           form.Text1->text()}),
              (QStringList{"COM Port Settings", "9600", "NO", "8"}));

    form.ComPort->setCurrentIndex(1);
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_EQ(ZelkGlobals::ComPort, "COM4");
    EXPECT_EQ(env.readFile("ZelkGui.ini"), before);

    // Save stores whatever the combo holds.
    form.ComPort->setEditText("ttyUSB7");
    QTest::mouseClick(form.OKButton, Qt::LeftButton);
    EXPECT_EQ(ZelkGlobals::ComPort, "ttyUSB7");
    EXPECT_EQ(ReadIni("PARAMS", "port", ZelkGlobals::GuiIniPath), "ttyUSB7");
    EXPECT_EQ(form.Com->text(), "ttyUSB7");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    // Only the port line changed.
    QByteArray expected = env.readFile("ZelkGui.ini");
    env.copyShipped("ZelkGui.ini");
    EXPECT_EQ(env.readFile("ZelkGui.ini").replace("port=COM1", "port=ttyUSB7"), expected);
    EXPECT_EQ(env.dialogs.count(), 0);

    ZelkGlobals::GuiIniPath = "/proc/zelk/ZelkGui.ini";
    CommParamsForm failing;
    failing.ComPort->setCurrentIndex(2);
    QTest::mouseClick(failing.OKButton, Qt::LeftButton);
    EXPECT_EQ(ZelkGlobals::ComPort, "COM3");
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(env.dialogs.shown[0].text.endsWith("/proc/zelk/ZelkGui.ini"));
}

// Catches the busy window closing on a key or a click on its frame, and a
// window made twice or an unknown name making anything.
TEST(SmallWindowsTest, BusyWindowIgnoresKeysAndClosesAndTheRegistryMakesOneWindowPerName)
{
    frmPleaseWait wait;
    wait.show();
    EXPECT_EQ(wait.lblMain->text(), "Please be patient, this may take from 1second to 10 minutes");
    QTest::keyClick(&wait, Qt::Key_Escape);
    EXPECT_TRUE(wait.isVisible());
    QCloseEvent byUser;
    QApplication::sendEvent(&wait, &byUser); // not spontaneous: the program may close it
    wait.hide();
    EXPECT_FALSE(wait.isVisible());

    int made = 0;
    QWidget w;
    WindowRegistry::registerWindow("Test", [&] {
        ++made;
        return &w;
    });
    EXPECT_EQ(WindowRegistry::existing("Test"), nullptr);
    EXPECT_EQ(made, 0);
    EXPECT_EQ(WindowRegistry::window("Test"), &w);
    EXPECT_TRUE(WindowRegistry::show("Test"));
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(WindowRegistry::window("Nothing"), nullptr);
    EXPECT_FALSE(WindowRegistry::show("Nothing"));
    WindowRegistry::clear();
    EXPECT_EQ(WindowRegistry::existing("Test"), nullptr);
}
