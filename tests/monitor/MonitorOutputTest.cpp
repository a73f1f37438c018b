// Output control in Interactive Mode: module, global and group switches,
// set-points typed and stepped, and the window's remaining buttons.
#include "MonitorFixture.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/NumberText.h"
#include "core/Seams.h"
#include "core_windows/CommParamsForm.h"
#include "device/RecordingDevice.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <functional>

namespace {

std::optional<double> number(const QString &text)
{
    return NumberText::toDouble(text.trimmed(), ZelkGlobals::DecimalSeparator);
}

constexpr qint16 On = OstransIndicator::True;
constexpr qint16 Off = OstransIndicator::False;

class MonitorOutput : public MonitorFixture
{
protected:
    void SetUp() override
    {
        MonitorFixture::SetUp();
        env.clock.autoAdvanceMs = 50;
    }
    QStringList setCalls(const RecordingDevice &r) const
    {
        return r.callTexts().filter(QRegularExpression(QStringLiteral("^Set")));
    }
    QString busOutputs(int unit)
    {
        StatusArray states;
        withPort([&] { ASSERT_EQ(bus->GetOutputState(unit, states), "CMD_OK"); });
        return states.toStatusText().left(5);
    }
    void typeAndApply(int m, const QString &text)
    {
        form->txtSP[m]->setText(text);
        QTest::mouseClick(form->cmdSetVoltage[m], Qt::LeftButton);
    }
    bool windowLocked() const
    {
        return !form->cmdClose->isEnabled() && !form->cmdSelectUnit->isEnabled() &&
               !form->cmdRefresh->isEnabled() && !form->UnitList->isEnabled() &&
               form->OstransOutputOnOff->Enable() == Off && env.desktop.busy;
    }
    bool windowUnlocked() const
    {
        return form->cmdClose->isEnabled() && form->cmdSelectUnit->isEnabled() &&
               form->UnitList->isEnabled() && form->OstransOutputOnOff->Enable() == On &&
               !env.desktop.busy && !form->actionRunning();
    }
};

TEST_F(MonitorOutput, ModuleSwitchTurnsTheOutputOffAndOnAndShowsIt)
{
    // Catches a switch that toggles only the picture, or leaves the LED, text or meters stale.
    readUnit("1");
    QTest::mouseClick(form->OstransOS[2], Qt::LeftButton);
    EXPECT_EQ(busOutputs(1), "10111");
    EXPECT_EQ(form->OstransOS[2]->Status(), Off);
    EXPECT_EQ(form->OstransMG[2]->Status(), Off);
    EXPECT_EQ(form->MMessage[2]->text(), "Module Off");
    EXPECT_EQ(form->OstransDisplay[2]->text(), "0.00");
    EXPECT_EQ(form->OstransDisplayCurr[2]->text(), "0.00");
    EXPECT_FALSE(form->txtSP[2]->isEnabled());
    // Every module's switch is usable again once the action is over.
    EXPECT_EQ(form->OstransOS[2]->Enable(), On);
    EXPECT_EQ(form->OstransOS[1]->Enable(), On);
    EXPECT_TRUE(windowUnlocked());

    QTest::mouseClick(form->OstransOS[2], Qt::LeftButton);
    EXPECT_EQ(busOutputs(1), "11111");
    EXPECT_EQ(form->MMessage[2]->text(), "Module Good");
    EXPECT_EQ(form->OstransMG[2]->Status(), On);
    EXPECT_EQ(form->OstransDisplay[2]->text(), "12.00");
    EXPECT_EQ(form->OstransDisplayCurr[2]->text(), "12.00");

    form->cmdRefresh_Click();
    EXPECT_EQ(form->OstransOS[1]->Enable(), On);
    EXPECT_TRUE(form->cmdSetVoltage[2]->isEnabled());
}

TEST_F(MonitorOutput, FailingSwitchReportsKeepsTheStateAndUnlocks)
{
    // Catches a failed reply that leaves the window locked, the switch flipped or no record.
    readUnit("1");
    bus->failMethod("SetOutputState", "ERR_TIMEOUT", 1, 3, SimBusFaults::Count::Once);
    QTest::mouseClick(form->OstransOS[3], Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].title, "Zelk Monitor");
    EXPECT_EQ(env.dialogs.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(env.dialogs.shown[0].text, "I could not open COM port, may be because is already "
                                         "open, close the program and try again.");
    EXPECT_EQ(form->OstransOS[3]->Status(), On);
    EXPECT_EQ(form->MMessage[3]->text(), "Module Good");
    EXPECT_EQ(busOutputs(1), "11111");
    EXPECT_FALSE(bus->portOpen());
    EXPECT_TRUE(windowUnlocked());
    EXPECT_TRUE(env.readFile(QFileInfo(ZelkGlobals::ErrorFilePath).fileName())
                    .contains("Error in SetOutputState in Unit  1 and Module 3"));
}

TEST_F(MonitorOutput, ActionLocksTheWindowAndASecondClickStartsNothing)
{
    // Catches an unlocked window during a burst, or a click that starts a second one.
    readUnit("1");
    RecordingDevice &r = record();
    bool lockedDuring = false;
    env.clock.hook = [&] {
        lockedDuring = windowLocked() && form->OstransOS[4]->Enable() == Off;
        // Module 3's step button and box stay clickable while module 2 switches.
        QTest::mouseClick(form->cmdInc[3], Qt::LeftButton);
        QTest::keyClick(form->txtSP[1], Qt::Key_Return);
        QTest::mouseClick(form->OstransOS[4], Qt::LeftButton);
        QTest::mouseClick(form->OstransOutputOnOff, Qt::LeftButton);
    };
    QTest::mouseClick(form->OstransOS[2], Qt::LeftButton);
    EXPECT_TRUE(lockedDuring);
    EXPECT_EQ(form->txtSP[3]->text(), "24");
    EXPECT_EQ(setCalls(r), QStringList{"SetOutputState(\"1\", 2, 0) -> CMD_OK"});
    EXPECT_TRUE(windowUnlocked());
}

TEST_F(MonitorOutput, GlobalSwitchOffBlanksThenReadsTheUnitAndOnRestoresIt)
{
    // Catches panels left showing live values after the global output is off, or a stale read.
    readUnit("3");
    bool blanked = false;
    env.clock.hook = [&] {
        blanked = form->RV[1]->text() == "0.0 - 0.0" && form->txtSP[1]->text() == "0" &&
                  form->OstransDisplay[1]->text() == "0" && form->CL[1]->text() == "-";
    };
    QTest::mouseClick(form->OstransOutputOnOff, Qt::LeftButton);
    EXPECT_TRUE(blanked);
    qint16 global = 0;
    withPort([&] { bus->GetGlobalOutputState(3, global); });
    EXPECT_EQ(global, 100);
    for (int m : {1, 3})
        EXPECT_EQ(form->MMessage[m]->text(), "Module Off") << m;
    for (int m : {2, 4, 5})
        EXPECT_EQ(form->MMessage[m]->text(), "Not Present") << m;
    EXPECT_EQ(form->OstransOutputOnOff->Status(), Off);
    EXPECT_TRUE(windowUnlocked());

    QTest::mouseClick(form->OstransOutputOnOff, Qt::LeftButton);
    EXPECT_EQ(form->MMessage[1]->text(), "Module Good");
    EXPECT_EQ(form->MMessage[3]->text(), "Module Good");
    EXPECT_EQ(form->OstransOutputOnOff->Status(), On);
    EXPECT_EQ(form->OstransOS[1]->Enable(), On);
}

TEST_F(MonitorOutput, GlobalSwitchFailureShowsTheErrorFileMessage)
{
    // Catches a failed global switch that goes on to settle and read as if it had worked.
    readUnit("1");
    bus->failMethod("SetGlobalOutputState", "ERR_TIMEOUT");
    QTest::mouseClick(form->OstransOutputOnOff, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].text,
              "ERROR ! PLEASE CHECK " + ZelkGlobals::ErrorFilePath + " FOR DETAILS");
    EXPECT_EQ(env.dialogs.shown[0].title, ZelkGlobals::AppTitle);
    EXPECT_EQ(form->OstransErrorPicture->Status(), Off);
    EXPECT_EQ(form->OstransOutputOnOff->Status(), On);
    EXPECT_TRUE(windowUnlocked());
}

TEST_F(MonitorOutput, SwitchButtonsNeedAUnitAndTheFirstPressSwitchesOff)
{
    // Catches a button that sends without a unit, or reads the designed "Off" as off.
    RecordingDevice &r = record();
    form->GOutputBtn->click();
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Please Select Unit First"});
    EXPECT_TRUE(r.calls().empty());

    readUnit("1");
    r.clear();
    form->GOutputBtn->click();
    EXPECT_EQ(setCalls(r), QStringList{"SetGlobalOutputState(1, 0) -> CMD_OK"});
    EXPECT_EQ(form->GOutputBtn->text(), "OFF");
    form->GOutputBtn->click();
    form->GroupBtn->click();
    EXPECT_EQ(setCalls(r), (QStringList{"SetGlobalOutputState(1, 0) -> CMD_OK",
                                        "SetGlobalOutputState(1, 1) -> CMD_OK",
                                        "SetGroupState(1, 0) -> CMD_OK"}));
    EXPECT_EQ(form->GOutputBtn->text(), "ON");
    EXPECT_EQ(form->GroupBtn->text(), "OFF");
}

TEST_F(MonitorOutput, SetpointAtTheLimitsIsAppliedAndBeyondIsRefused)
{
    // Catches an exclusive limit, a wrong scale factor, or a refused value that is still sent.
    readUnit("1");
    RecordingDevice &r = record();
    typeAndApply(2, "15");
    EXPECT_EQ(form->OstransDisplay[2]->text(), "15.00");
    // Past the module-good window: the unit's fresh module-good bit says so.
    EXPECT_EQ(form->MMessage[2]->text(), "O u t p u t   F a u l t !");
    typeAndApply(2, "5");
    EXPECT_EQ(form->OstransDisplay[2]->text(), "5.00");
    EXPECT_EQ(setCalls(r), (QStringList{"SetOutputVoltageSetpoint(\"1\", 2, 15000) -> CMD_OK",
                                        "SetOutputVoltageSetpoint(\"1\", 2, 5000) -> CMD_OK"}));
    EXPECT_EQ(env.dialogs.count(), 0);
    EXPECT_TRUE(form->cmdSetVoltage[2]->isEnabled());

    r.clear();
    typeAndApply(2, "15.01");
    typeAndApply(2, "4.99");
    EXPECT_EQ(env.dialogs.texts(),
              (QStringList{"15.01 is Invalid Voltage Setpoint Value!, Should be between 5 and 15",
                           "4.99 is Invalid Voltage Setpoint Value!, Should be between 5 and 15"}));
    EXPECT_EQ(env.dialogs.shown[0].title, "Halvex Electronics");
    EXPECT_EQ(env.dialogs.shown[0].icon, MsgIcon::Information);
    EXPECT_TRUE(r.calls().empty());
    EXPECT_EQ(form->OstransDisplay[2]->text(), "5.00");
    EXPECT_TRUE(windowUnlocked());
}

TEST_F(MonitorOutput, SetpointPast16BitsIsRefusedUnsent)
{
    // Catches a raw set-point that wraps round 16 bits and reaches the unit as another voltage.
    QFile scale(env.path("scale.ini"));
    ASSERT_TRUE(scale.open(QIODevice::ReadOnly));
    QByteArray text = scale.readAll();
    scale.close();
    const qsizetype at = text.indexOf("VoltageScaleFactor=1000", text.indexOf("[TYPE2]"));
    ASSERT_GT(at, 0);
    text.replace(at, 23, "VoltageScaleFactor=3000");
    env.writeFile("scale.ini", text);
    readUnit("1");
    RecordingDevice &r = record();
    typeAndApply(2, "12");
    EXPECT_EQ(env.dialogs.texts(),
              QStringList{"12 is Invalid Voltage Setpoint Value!, Should be between 5 and 15"});
    EXPECT_TRUE(r.calls().empty());
}

TEST_F(MonitorOutput, SteppingMovesByOneHundredthAndStopsAtTheLimits)
{
    // Catches a step past the maximum being sent, or binary noise refusing a step onto the minimum.
    readUnit("1");
    RecordingDevice &r = record();
    form->txtSP[2]->setText("5.01");
    QTest::mouseClick(form->cmdDec[2], Qt::LeftButton);
    EXPECT_EQ(form->txtSP[2]->text(), "5.00");
    EXPECT_EQ(form->OstransDisplay[2]->text(), "5.00");
    typeAndApply(2, "15");
    r.clear();
    QTest::mouseClick(form->cmdInc[2], Qt::LeftButton);
    EXPECT_EQ(form->txtSP[2]->text(), "15.01");
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Invalid Value!, Should be between 5 and 15"});
    EXPECT_TRUE(r.calls().empty());
    EXPECT_EQ(form->OstransDisplay[2]->text(), "15.00");
}

TEST_F(MonitorOutput, CommaSeparatorKeepsTheStepAndWritesCommas)
{
    // Catches a step read as 1 (or 0) under a comma, or limits written with a dot.
    ZelkGlobals::DecimalSeparator = ",";
    readUnit("1");
    RecordingDevice &r = record();
    form->txtSP[1]->setText("3,3");
    QTest::mouseClick(form->cmdInc[1], Qt::LeftButton);
    EXPECT_EQ(form->txtSP[1]->text(), "3,31");
    EXPECT_EQ(form->OstransDisplay[1]->text(), "3,31");
    EXPECT_EQ(setCalls(r), QStringList{"SetOutputVoltageSetpoint(\"1\", 1, 3310) -> CMD_OK"});
    form->txtSP[1]->setText("3,6");
    QTest::mouseClick(form->cmdInc[1], Qt::LeftButton);
    EXPECT_EQ(form->txtSP[1]->text(), "3,61");
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Invalid Value!, Should be between 1 and 3,6"});
}

TEST_F(MonitorOutput, LeavingTheBoxSendsOnlyAChangedValue)
{
    // Catches a send on every focus change, or a typed-back value compared with a stale reading.
    readUnit("1");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    RecordingDevice &r = record();
    const auto leave = [&](const QString &text) {
        form->txtSP[2]->setFocus();
        form->txtSP[2]->setText(text);
        form->OH->setFocus();
    };
    leave("12");
    EXPECT_EQ(form->txtSP[2]->text(), "12.00");
    EXPECT_TRUE(r.calls().empty());

    form->txtSP[2]->setFocus();
    form->txtSP[2]->setText("12.5");
    QTest::keyClick(form->txtSP[2], Qt::Key_Return);
    EXPECT_EQ(form->txtSP[2]->text(), "12.50");
    leave("12.50");
    EXPECT_EQ(setCalls(r).size(), 1);
    leave("12");
    EXPECT_EQ(setCalls(r).last(), "SetOutputVoltageSetpoint(\"1\", 2, 12000) -> CMD_OK");
    EXPECT_EQ(setCalls(r).size(), 2);

    leave("");
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Please enter numeric value."});
    EXPECT_TRUE(form->txtSP[2]->hasFocus());
}

TEST_F(MonitorOutput, RefreshThenFocusPassSendsNothing)
{
    // Catches a refresh that puts a stale reading back into a set-point box,
    // so that passing through the box sends the old set-point to the unit.
    readUnit("1");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    typeAndApply(2, "12.5");
    QTest::mouseClick(form->cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(number(form->txtSP[2]->text()), 12.5);
    RecordingDevice &r = record();
    form->txtSP[2]->setFocus();
    form->OH->setFocus();
    EXPECT_TRUE(setCalls(r).isEmpty()) << setCalls(r).join('\n').toStdString();
    qint16 raw = 0;
    withPort([&] { bus->MeasureOutputVoltage(1, 2, raw); }); // the live set-point, noise off
    EXPECT_EQ(raw, 12500);
}

TEST_F(MonitorOutput, PortDialogAndHelpButtons)
{
    // Catches a port caption left stale after the dialog, or a help failure passed over in silence.
    readUnit("1");
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<CommParamsForm *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->ComPort->setEditText("COM4");
        dialog->OKButton_Click();
    });
    QTest::mouseClick(form->cmdComSettings, Qt::LeftButton);
    EXPECT_EQ(form->cmdComSettings->text(), "Default Com Port = COM4");

    const QString topic = QDir(env.folder()).filePath("zelksdk.chm") + "::VIP.html";
    env.desktop.helpAvailable = false;
    form->cmdHelp_Click();
    EXPECT_EQ(env.dialogs.count(), 0);
    QTest::mouseClick(form->cmdModuleNumering, Qt::LeftButton);
    EXPECT_EQ(env.desktop.helpTopics, (QStringList{topic, topic}));
    EXPECT_EQ(env.dialogs.texts(), QStringList{"The required help file not properly installed "
                                               "in your machine. Contact system support."});
}

} // namespace
