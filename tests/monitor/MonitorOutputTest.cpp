// Output control in Interactive Mode: module, global and group switches,
// set-points typed and stepped, and the window's remaining buttons.
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/NumberText.h"
#include "core_windows/CommParamsForm.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr qint16 IsOn = OstransIndicator::True;
constexpr qint16 IsOff = OstransIndicator::False;

class MonitorOutput : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        env.clock.autoAdvanceMs = 50;
    }
    QStringList setCalls() const
    {
        return log->callTexts().filter(QRegularExpression(QStringLiteral("^Set")));
    }
    QString busOutputs(int unit)
    {
        StatusArray states;
        onBus([&](SimulatedBus &b) { EXPECT_EQ(b.GetOutputState(unit, states), "CMD_OK"); });
        return states.toStatusText().left(5);
    }
    // Module k's panel: message, volts, amps, switch and module-good LED.
    QStringList panel(int k)
    {
        MonitorForm &m = monitor();
        return {m.MMessage[k]->text(), m.OstransDisplay[k]->text(), m.OstransDisplayCurr[k]->text(),
                m.OstransOS[k]->Status() == IsOn ? "on" : "off",
                m.OstransMG[k]->Status() == IsOn ? "good" : "not good"};
    }
    void typeAndApply(int m, const QString &text)
    {
        monitor().txtSP[m]->setText(text);
        QTest::mouseClick(monitor().cmdSetVoltage[m], Qt::LeftButton);
    }
    bool windowLocked()
    {
        MonitorForm &m = monitor();
        return !m.cmdClose->isEnabled() && !m.cmdSelectUnit->isEnabled() &&
               !m.cmdRefresh->isEnabled() && !m.UnitList->isEnabled() &&
               m.OstransOutputOnOff->Enable() == IsOff && env.desktop.busy;
    }
    bool windowUnlocked()
    {
        MonitorForm &m = monitor();
        return m.cmdClose->isEnabled() && m.cmdSelectUnit->isEnabled() && m.UnitList->isEnabled() &&
               m.OstransOutputOnOff->Enable() == IsOn && !env.desktop.busy && !m.actionRunning();
    }
};

TEST_F(MonitorOutput, ModuleSwitchTurnsTheOutputOffAndOnAndShowsIt)
{
    // Catches a switch that toggles only the picture, or leaves the LED, text or meters stale.
    MonitorForm &m = monitorRead("1");
    QTest::mouseClick(m.OstransOS[2], Qt::LeftButton);
    EXPECT_EQ(busOutputs(1), "10111");
    EXPECT_EQ(panel(2), (QStringList{"Module Off", "0.00", "0.00", "off", "not good"}));
    EXPECT_FALSE(m.txtSP[2]->isEnabled());
    // Every module's switch is usable again once the action is over.
    EXPECT_TRUE(m.OstransOS[2]->Enable() == IsOn && m.OstransOS[1]->Enable() == IsOn);
    EXPECT_TRUE(windowUnlocked());

    QTest::mouseClick(m.OstransOS[2], Qt::LeftButton);
    EXPECT_EQ(busOutputs(1), "11111");
    EXPECT_EQ(panel(2), (QStringList{"Module Good", "12.00", "12.00", "on", "good"}));

    m.cmdRefresh_Click();
    EXPECT_EQ(m.OstransOS[1]->Enable(), IsOn);
    EXPECT_TRUE(m.cmdSetVoltage[2]->isEnabled());
}

TEST_F(MonitorOutput, FailedSwitchesReportKeepTheStateAndUnlock)
{
    // Catches a failed reply that leaves the window locked, the switch flipped
    // or no record, and a failed global switch that goes on to settle and
    // read as if it had worked.
    MonitorForm &m = monitorRead("1");
    bus->failMethod("SetOutputState", "ERR_TIMEOUT", 1, 3, SimBusFaults::Count::Once);
    QTest::mouseClick(m.OstransOS[3], Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(env.dialogs.shown[0].title == "Zelk Monitor" &&
                env.dialogs.shown[0].icon == MsgIcon::Critical);
    EXPECT_EQ(env.dialogs.shown[0].text, "I could not open COM port, may be because is already "
                                         "open, close the program and try again.");
    EXPECT_EQ(panel(3), (QStringList{"Module Good", "24.00", "6.00", "on", "good"}));
    EXPECT_EQ(busOutputs(1), "11111");
    EXPECT_TRUE(!bus->portOpen() && windowUnlocked());
    EXPECT_TRUE(env.readFile(QFileInfo(ZelkGlobals::ErrorFilePath).fileName())
                    .contains("Error in SetOutputState in Unit  1 and Module 3"));

    bus->failMethod("SetGlobalOutputState", "ERR_TIMEOUT");
    QTest::mouseClick(m.OstransOutputOnOff, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 2);
    EXPECT_EQ(env.dialogs.shown[1].title + "|" + env.dialogs.shown[1].text,
              ZelkGlobals::AppTitle + "|ERROR ! PLEASE CHECK " + ZelkGlobals::ErrorFilePath +
                  " FOR DETAILS");
    EXPECT_TRUE(m.OstransErrorPicture->Status() == IsOff && m.OstransOutputOnOff->Status() == IsOn);
    EXPECT_TRUE(windowUnlocked());
}

TEST_F(MonitorOutput, ActionLocksTheWindowAndASecondClickStartsNothing)
{
    // Catches an unlocked window during a burst, or a click that starts a second one.
    MonitorForm &m = monitorRead("1");
    record();
    bool lockedDuring = false;
    env.clock.hook = [&] {
        lockedDuring = windowLocked() && m.OstransOS[4]->Enable() == IsOff;
        // Module 3's step button and box stay clickable while module 2 switches.
        QTest::mouseClick(m.cmdInc[3], Qt::LeftButton);
        QTest::keyClick(m.txtSP[1], Qt::Key_Return);
        QTest::mouseClick(m.OstransOS[4], Qt::LeftButton);
        QTest::mouseClick(m.OstransOutputOnOff, Qt::LeftButton);
    };
    QTest::mouseClick(m.OstransOS[2], Qt::LeftButton);
    EXPECT_TRUE(lockedDuring);
    EXPECT_EQ(m.txtSP[3]->text(), "24");
    EXPECT_EQ(setCalls(), QStringList{"SetOutputState(\"1\", 2, 0) -> CMD_OK"});
    EXPECT_TRUE(windowUnlocked());
}

TEST_F(MonitorOutput, GlobalSwitchOffBlanksThenReadsTheUnitAndOnRestoresIt)
{
    // Catches panels left showing live values after the global output is off, or a stale read.
    MonitorForm &m = monitorRead("3");
    bool blanked = false;
    env.clock.hook = [&] {
        blanked = m.RV[1]->text() == "0.0 - 0.0" && m.txtSP[1]->text() == "0" &&
                  m.OstransDisplay[1]->text() == "0" && m.CL[1]->text() == "-";
    };
    QTest::mouseClick(m.OstransOutputOnOff, Qt::LeftButton);
    EXPECT_TRUE(blanked);
    qint16 global = 0;
    onBus([&](SimulatedBus &b) { b.GetGlobalOutputState(3, global); });
    EXPECT_EQ(global, 100);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(m.MMessage[i]->text(), i == 1 || i == 3 ? "Module Off" : "Not Present") << i;
    EXPECT_EQ(m.OstransOutputOnOff->Status(), IsOff);
    EXPECT_TRUE(windowUnlocked());

    QTest::mouseClick(m.OstransOutputOnOff, Qt::LeftButton);
    EXPECT_EQ(texts(m.MMessage[1], m.MMessage[3]), (QStringList{"Module Good", "Module Good"}));
    EXPECT_TRUE(m.OstransOutputOnOff->Status() == IsOn && m.OstransOS[1]->Enable() == IsOn);
}

TEST_F(MonitorOutput, SwitchButtonsNeedAUnitAndTheFirstPressSwitchesOff)
{
    // Catches a button that sends without a unit, or reads the designed "Off" as off.
    MonitorForm &m = monitor();
    record();
    m.GOutputBtn->click();
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Please Select Unit First"});
    EXPECT_TRUE(log->calls().empty());

    monitorRead("1");
    record();
    m.GOutputBtn->click();
    EXPECT_EQ(setCalls(), QStringList{"SetGlobalOutputState(1, 0) -> CMD_OK"});
    EXPECT_EQ(m.GOutputBtn->text(), "OFF");
    m.GOutputBtn->click();
    m.GroupBtn->click();
    EXPECT_EQ(setCalls(), (QStringList{"SetGlobalOutputState(1, 0) -> CMD_OK",
                                       "SetGlobalOutputState(1, 1) -> CMD_OK",
                                       "SetGroupState(1, 0) -> CMD_OK"}));
    EXPECT_EQ(texts(m.GOutputBtn, m.GroupBtn), (QStringList{"ON", "OFF"}));
}

TEST_F(MonitorOutput, SetpointsTypedOrSteppedAreAppliedAtTheLimitsAndRefusedBeyond)
{
    // Catches an exclusive limit, a wrong scale factor, a refused value that
    // is still sent, or a raw set-point that wraps round 16 bits and reaches
    // the unit as another voltage; and a step past the maximum being sent,
    // binary noise refusing a step onto the minimum, a step read as 1 (or 0)
    // under a comma, or limits written with a dot.
    QByteArray scale = env.readFile("scale.ini");
    const qsizetype at = scale.indexOf("VoltageScaleFactor=500", scale.indexOf("[TYPE3]"));
    ASSERT_GT(at, 0);
    scale.replace(at, 22, "VoltageScaleFactor=1500"); // module 3: 24 V is 36000
    env.writeFile("scale.ini", scale);
    MonitorForm &m = monitorRead("1");
    record();
    typeAndApply(2, "15");
    EXPECT_EQ(m.OstransDisplay[2]->text(), "15.00");
    // Past the module-good window: the unit's fresh module-good bit says so.
    EXPECT_EQ(m.MMessage[2]->text(), "O u t p u t   F a u l t !");
    typeAndApply(2, "5");
    EXPECT_EQ(m.OstransDisplay[2]->text(), "5.00");
    EXPECT_EQ(setCalls(), (QStringList{"SetOutputVoltageSetpoint(\"1\", 2, 15000) -> CMD_OK",
                                       "SetOutputVoltageSetpoint(\"1\", 2, 5000) -> CMD_OK"}));
    EXPECT_EQ(env.dialogs.count(), 0);
    EXPECT_TRUE(m.cmdSetVoltage[2]->isEnabled());

    record();
    typeAndApply(2, "15.01");
    typeAndApply(2, "4.99");
    typeAndApply(3, "24");
    EXPECT_EQ(env.dialogs.texts(),
              (QStringList{"15.01 is Invalid Voltage Setpoint Value!, Should be between 5 and 15",
                           "4.99 is Invalid Voltage Setpoint Value!, Should be between 5 and 15",
                           "24 is Invalid Voltage Setpoint Value!, Should be between 8 and 28"}));
    EXPECT_TRUE(env.dialogs.shown[0].title == "Halvex Electronics" &&
                env.dialogs.shown[0].icon == MsgIcon::Information);
    EXPECT_TRUE(log->calls().empty());
    EXPECT_EQ(m.OstransDisplay[2]->text(), "5.00");
    EXPECT_TRUE(windowUnlocked());

    m.txtSP[2]->setText("5.01");
    QTest::mouseClick(m.cmdDec[2], Qt::LeftButton);
    EXPECT_EQ(m.txtSP[2]->text(), "5.00");
    EXPECT_EQ(m.OstransDisplay[2]->text(), "5.00");
    typeAndApply(2, "15");
    record();
    QTest::mouseClick(m.cmdInc[2], Qt::LeftButton);
    EXPECT_EQ(m.txtSP[2]->text(), "15.01");
    EXPECT_EQ(env.dialogs.texts().last(), "Invalid Value!, Should be between 5 and 15");
    EXPECT_TRUE(log->calls().empty());
    EXPECT_EQ(m.OstransDisplay[2]->text(), "15.00");

    ZelkGlobals::DecimalSeparator = ",";
    m.txtSP[1]->setText("3,3");
    QTest::mouseClick(m.cmdInc[1], Qt::LeftButton);
    EXPECT_EQ(m.txtSP[1]->text(), "3,31");
    EXPECT_EQ(m.OstransDisplay[1]->text(), "3,31");
    EXPECT_EQ(setCalls(), QStringList{"SetOutputVoltageSetpoint(\"1\", 1, 3310) -> CMD_OK"});
    m.txtSP[1]->setText("3,6");
    QTest::mouseClick(m.cmdInc[1], Qt::LeftButton);
    EXPECT_EQ(m.txtSP[1]->text(), "3,61");
    EXPECT_EQ(env.dialogs.texts().last(), "Invalid Value!, Should be between 1 and 3,6");
}

TEST_F(MonitorOutput, LeavingTheBoxSendsOnlyAChangedValue)
{
    // Catches a send on every focus change, or a typed-back value compared with a stale
    // reading, and a refresh that puts a stale reading back into a set-point box, so that
    // passing through the box sends the old set-point to the unit.
    MonitorForm &m = monitorRead("1");
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    record();
    const auto leave = [&](const QString &text) {
        m.txtSP[2]->setFocus();
        m.txtSP[2]->setText(text);
        m.OH->setFocus();
    };
    leave("12");
    EXPECT_EQ(m.txtSP[2]->text(), "12.00");
    EXPECT_TRUE(log->calls().empty());

    m.txtSP[2]->setFocus();
    m.txtSP[2]->setText("12.5");
    QTest::keyClick(m.txtSP[2], Qt::Key_Return);
    EXPECT_EQ(m.txtSP[2]->text(), "12.50");
    leave("12.50");
    EXPECT_EQ(setCalls().size(), 1);
    leave("12");
    EXPECT_EQ(setCalls().last(), "SetOutputVoltageSetpoint(\"1\", 2, 12000) -> CMD_OK");
    EXPECT_EQ(setCalls().size(), 2);

    typeAndApply(2, "12.5");
    QTest::mouseClick(m.cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(NumberText::toDouble(m.txtSP[2]->text().trimmed(), ZelkGlobals::DecimalSeparator),
              12.5);
    record();
    m.txtSP[2]->setFocus();
    m.OH->setFocus();
    EXPECT_TRUE(setCalls().isEmpty()) << setCalls().join('\n').toStdString();
    qint16 raw = 0;
    onBus([&](SimulatedBus &b) { b.MeasureOutputVoltage(1, 2, raw); }); // the live set-point
    EXPECT_EQ(raw, 12500);

    leave("");
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Please enter numeric value."});
    EXPECT_TRUE(m.txtSP[2]->hasFocus());
}

TEST_F(MonitorOutput, PortDialogAndHelpButtons)
{
    // Catches a port caption left stale after the dialog, or a help failure passed over in silence.
    MonitorForm &m = monitorRead("1");
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<CommParamsForm *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->ComPort->setEditText("COM4");
        dialog->OKButton_Click();
    });
    QTest::mouseClick(m.cmdComSettings, Qt::LeftButton);
    EXPECT_EQ(m.cmdComSettings->text(), "Default Com Port = COM4");

    const QString topic = QDir(env.folder()).filePath("zelksdk.chm") + "::VIP.html";
    env.desktop.helpAvailable = false;
    m.cmdHelp_Click();
    EXPECT_EQ(env.dialogs.count(), 0);
    QTest::mouseClick(m.cmdModuleNumering, Qt::LeftButton);
    EXPECT_EQ(env.desktop.helpTopics, (QStringList{topic, topic}));
    EXPECT_EQ(env.dialogs.texts(), QStringList{"The required help file not properly installed "
                                               "in your machine. Contact system support."});
}

} // namespace
