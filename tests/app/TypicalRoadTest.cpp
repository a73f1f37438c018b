// The two typical roads, driven from the launcher through the real windows.
#include "AppFixture.h"
#include "core/Ini.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace {
class TypicalRoadTest : public AppFixture
{
protected:
    // The set-point the unit keeps for module m of unit u, in raw counts.
    qint16 storedSetpoint(int unit, int module)
    {
        qint16 raw = 0;
        EXPECT_EQ(bus->OpenPort(ZelkGlobals::ComPort), "CMD_OK");
        EXPECT_EQ(bus->GetDefaultOutputVoltage(qint16(unit), qint16(module), raw), "CMD_OK");
        bus->ClosePort();
        return raw;
    }
};
} // namespace

// Catches any break along the editor road and the monitor road: a unit not
// read, a set-point not written or not saved, polls that leave no log.
TEST_F(TypicalRoadTest, EditorThenMonitorFromTheLauncherAndBack)
{
    MainForm &launcher = MainForm::instance();
    SupplyConfig &editor = editorWithUnit("3"); // modules 1 and 3
    ASSERT_FALSE(ZelkGlobals::ErrorFlag) << ZelkGlobals::LastError.toStdString();
    ASSERT_TRUE(editor.vsp(1)->isEnabled());

    // A new set-point for module 1, inside its rating, applied to the unit.
    const clsScalability &ratings = ZelkGlobals::ModuleRatings(1);
    const double volts = std::round((ratings.MinVoltage + ratings.MaxVoltage) / 2 * 10) / 10;
    const QString typed = QString::number(volts, 'f', 1);
    editor.SSTab1(1)->setCurrentIndex(SupplyConfig::tabOfModule(1));
    QLineEdit *vsp = editor.vsp(1);
    vsp->setFocus(Qt::MouseFocusReason);
    vsp->selectAll();
    QTest::keyClicks(vsp, typed);
    QTest::keyClick(vsp, Qt::Key_Tab);
    ASSERT_TRUE(editor.cmdApplyCLM(0)->isEnabled());
    QTest::mouseClick(editor.cmdApplyCLM(0), Qt::LeftButton);
    EXPECT_EQ(storedSetpoint(3, 1), qint16(std::lround(volts * ratings.VoltageScaleFactor)));

    // Saved to a configuration file.
    const QString saved = env.path("road.txt");
    env.dialogs.fileAnswers.push_back(saved);
    QTest::mouseClick(editor.Save, Qt::LeftButton);
    EXPECT_EQ(ReadIni("PS3", "PowerSupplyID", saved), "3");
    EXPECT_EQ(ReadIni("PS3MODULE1", "OutputVoltageSetpoint", saved).toDouble(), volts);
    EXPECT_NE(ReadIni("PS3MODULE3", "SerialNumber", saved), "N/A");
    EXPECT_EQ(ReadIni("PS3MODULE2", "SerialNumber", saved), "N/A");
    QCoreApplication::processEvents(); // the log line follows the save
    EXPECT_TRUE(editor.RichTextBox1->toPlainText().endsWith("Saved to " + saved));

    // On to the monitor (the restart prompt is answered Yes by default).
    QTest::mouseClick(editor.cmdMonitor, Qt::LeftButton);
    MonitorForm &monitor = MonitorForm::instance();
    ASSERT_TRUE(monitor.isVisible());
    EXPECT_FALSE(editor.isVisible());
    monitor.UnitList->setCurrentText("3");
    monitor.cmdSelectUnit_Click();
    ASSERT_FALSE(ZelkGlobals::ErrorFlag) << ZelkGlobals::LastError.toStdString();

    // Monitor Mode with Autosave for three polls.
    monitor.txtFileName->setText("road.csv");
    monitor.Check2->setChecked(true);
    monitor.Combo1->setCurrentText("5   Sec.");
    monitor.Check1->setChecked(true);
    monitor.Timer2->stop(); // the test gives the ticks
    for (int poll = 1; poll <= 3; ++poll) {
        env.clock.monotonic += 5000;
        monitor.Timer2_Timer();
    }
    const QStringList log = QString::fromUtf8(env.readFile("road.csv")).split("\r\n");
    ASSERT_EQ(log.size(), 4) << env.readFile("road.csv").constData();
    EXPECT_TRUE(log[0].startsWith("Date,Time,UnitID,"));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(log[i].section(',', 2, 2), "3");
        // The new set-point is measured back on module 1.
        EXPECT_TRUE(log[i].contains(QString::number(volts, 'f', 2))) << log[i].toStdString();
    }

    // Closing the monitor brings back the launcher.
    monitor.Check1->setChecked(false);
    QTest::mouseClick(monitor.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(monitor.isVisible());
    EXPECT_TRUE(launcher.isVisible());
}
