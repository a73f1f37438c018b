// The monitor in Interactive Mode: reading a unit, the module panels, the
// module timers, a unit that does not answer and how the window looks;
// output control by module, global and group switches, set-points typed and
// stepped, and the window's remaining buttons. The bus overview's scan, and
// the one line shared by every window: at each point where a device sequence
// lets window events run, all the work that starts on its own is started, and
// none of it may reach the device object before that sequence ends.
#include "MockZelkDevice.h"
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "configfile/ConfigSession.h"
#include "controls/Label3D.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/NumberText.h"
#include "core_windows/CommParamsForm.h"
#include "device/ForwardingDevice.h"
#include "device/SharedLine.h"
#include "monitor/BusOverview.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <utility>

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

TEST_F(MonitorOutput, ModuleSwitchLocksTheWindowTurnsTheOutputOffAndOnAndShowsIt)
{
    // Catches a switch that toggles only the picture, or leaves the LED, text
    // or meters stale; and an unlocked window during a burst, or a click that
    // starts a second one.
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
    EXPECT_EQ(busOutputs(1), "10111");
    EXPECT_EQ(panel(2), (QStringList{"Module Off", "0.00", "0.00", "off", "not good"}));
    // Every module's switch is usable again once the action is over.
    EXPECT_TRUE(!m.txtSP[2]->isEnabled() && m.OstransOS[2]->Enable() == IsOn &&
                m.OstransOS[1]->Enable() == IsOn && windowUnlocked());

    QTest::mouseClick(m.OstransOS[2], Qt::LeftButton);
    EXPECT_EQ(busOutputs(1), "11111");
    EXPECT_EQ(panel(2), (QStringList{"Module Good", "12.00", "12.00", "on", "good"}));

    m.cmdRefresh_Click();
    EXPECT_TRUE(m.OstransOS[1]->Enable() == IsOn && m.cmdSetVoltage[2]->isEnabled());
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
    EXPECT_TRUE(busOutputs(1) == "11111" && !bus->portOpen() && windowUnlocked());
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
    EXPECT_TRUE(m.OstransOutputOnOff->Status() == IsOff && windowUnlocked());

    QTest::mouseClick(m.OstransOutputOnOff, Qt::LeftButton);
    EXPECT_EQ(texts(m.MMessage[1], m.MMessage[3]), (QStringList{"Module Good", "Module Good"}));
    EXPECT_TRUE(m.OstransOutputOnOff->Status() == IsOn && m.OstransOS[1]->Enable() == IsOn);
}

TEST_F(MonitorOutput, SwitchPortAndHelpButtons)
{
    // Catches a switch button that sends without a unit, or reads the designed
    // "Off" as off; a port caption left stale after the dialog, or a help
    // failure passed over in silence.
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

    env.dialogs.shown.clear();
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
    EXPECT_TRUE(env.dialogs.count() == 0 && m.cmdSetVoltage[2]->isEnabled());

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
    EXPECT_TRUE(log->calls().empty() && windowUnlocked());
    EXPECT_EQ(m.OstransDisplay[2]->text(), "5.00");

    m.txtSP[2]->setText("5.01");
    QTest::mouseClick(m.cmdDec[2], Qt::LeftButton);
    EXPECT_EQ(texts(m.txtSP[2], m.OstransDisplay[2]), (QStringList{"5.00", "5.00"}));
    typeAndApply(2, "15");
    record();
    QTest::mouseClick(m.cmdInc[2], Qt::LeftButton);
    EXPECT_EQ(texts(m.txtSP[2], m.OstransDisplay[2]), (QStringList{"15.01", "15.00"}));
    EXPECT_EQ(env.dialogs.texts().last(), "Invalid Value!, Should be between 5 and 15");
    EXPECT_TRUE(log->calls().empty());

    ZelkGlobals::DecimalSeparator = ",";
    m.txtSP[1]->setText("3,3");
    QTest::mouseClick(m.cmdInc[1], Qt::LeftButton);
    EXPECT_EQ(texts(m.txtSP[1], m.OstransDisplay[1]), (QStringList{"3,31", "3,31"}));
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

QRgb textColor(QLabel *label)
{
    return label->palette().color(QPalette::WindowText).rgb();
}
const QRgb Red = qRgb(255, 0, 0);

using MonitorRead = WindowFixture;

TEST_F(MonitorRead, UnitReadFillsEveryPanelSilenceIsToldAndThePictureShowsEveryCaption)
{
    // Catches panels filled from the wrong record field, module or ratings
    // section; a unit that does not answer without the monitor saying so, a
    // failed read that leaves the panels live or hides where the details are,
    // and log controls the failure locked that the next good read leaves
    // locked; and a window that renders empty, or at the compact size, once a
    // unit is read, a module switched off and Monitor Mode has polled: each
    // caption must show as more than one colour where it stands. The picture
    // is kept beside the test program for a person to look at.
    MonitorForm &m = monitorRead("1");
    EXPECT_EQ(m.Label3D3->Caption(), "Power supply Id: 1");
    EXPECT_EQ(m.size(), LargeLayout);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(m.MMessage[i]->text(), "Module Good") << i;
        EXPECT_EQ(textColor(m.MMessage[i]), qRgb(0, 255, 0)) << i;
        EXPECT_TRUE(m.OstransMG[i]->Status() == IsOn && m.OstransOS[i]->Status() == IsOn) << i;
    }
    EXPECT_EQ(texts(m.lblReady, m.RV[2], m.RC[2], m.RV[4], m.VLH[2], m.VLL[2], m.CL[2], m.GID[2],
                    m.GID[4], m.GID[5], m.txtSP[3], m.OstransDisplay[1], m.OstransDisplayCurr[1],
                    m.OstransDisplayCurr[4], m.OH),
              (QStringList{"R e a d y", "5.0 - 15.0", "30", "20.0 - 58.0", "12.60", "11.40",
                           "Current Limit = 24", "2", "M[3]", "S[3]", "24", "3.30", "40.00", "3.20",
                           "1,234"}));
    EXPECT_TRUE(m.OstransGlobalDC->Status() == IsOn && m.OstransErrorPicture->Status() == IsOn);
    EXPECT_TRUE(m.cmdRefresh->isEnabled() && m.Check1->isEnabled() && m.UnitList->isEnabled());

    bus->setUnitSilent(1, true);
    QString shownAtFailure;
    bool smallAtFailure = false;
    record().onCall = [&](const RecordingDevice::Call &c) {
        if (c.method == "ClosePort" && shownAtFailure.isEmpty()) {
            shownAtFailure = m.lblReady->text();
            smallAtFailure = compact(m);
        }
    };
    m.cmdSelectUnit_Click();
    EXPECT_TRUE(shownAtFailure == "Unit does not respond!" && smallAtFailure);
    EXPECT_EQ(m.lblReady->text(), "Error, Click error file button");
    EXPECT_EQ(m.Label3D3->Caption(), "Please Select Unit...");
    EXPECT_TRUE(compact(m) && !m.UnitSelected && m.UnitList->isEnabled() &&
                m.progressbar1->isHidden() && !m.cmdErrorfile->isHidden());
    EXPECT_FALSE(m.cmdRefresh->isEnabled() || m.Check1->isEnabled());
    QTest::mouseClick(m.cmdErrorfile, Qt::LeftButton);
    EXPECT_EQ(env.desktop.openedTextFiles, QStringList{ZelkGlobals::ErrorFilePath});
    bus->setUnitSilent(1, false);
    monitorRead("1");
    EXPECT_TRUE(m.cmdClear->isEnabled() && m.txtFileName->isEnabled());

    QTest::mouseClick(m.OstransOS[2], Qt::LeftButton);
    m.Check2->setChecked(true);
    startMonitoring("5   Sec.");
    for (int i = 1; i <= 3; ++i)
        pollAt(5000 * i);
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
    ASSERT_EQ(m.width(), LargeLayout.width());
    // The whole panel: the test's screen is lower than the large layout.
    QWidget *content = m.findChild<QWidget *>("MonitorContent");
    ASSERT_NE(content, nullptr);
    const QImage picture = content->grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("monitor_mode_unit1.png"));
    ASSERT_EQ(picture.size(), LargeLayout);
    int captions = 0;
    for (QLabel *label : m.findChildren<QLabel *>()) {
        if (label->isVisible() && !label->text().trimmed().isEmpty()) {
            EXPECT_TRUE(inked(picture, placeIn(label, content))) << label->text().toStdString();
            ++captions;
        }
    }
    EXPECT_GT(captions, 20);
}

TEST_F(MonitorRead, AbsentSlotsAreDeadAndAnOffModuleIsRefreshedOnceAfterItsTurnOnDelay)
{
    // Catches an empty slot shown as a module, or a switch that still takes
    // clicks; and module timers that never start, start on every refresh, or
    // refreshes that skip the operating hours.
    onBus([](SimulatedBus &b) { b.SetOutputTurnONDelayExUShort("5", 4, 500); });
    MonitorForm &m = monitorRead("5");
    for (int i : {1, 2}) {
        QTest::mouseClick(m.OstransOS[i], Qt::LeftButton);
        EXPECT_EQ(m.MMessage[i]->text(), "Not Present");
        EXPECT_EQ(textColor(m.MMessage[i]), qRgb(0, 0, 0));
        EXPECT_TRUE(m.OstransMG[i]->Status() == IsOff && m.OstransOS[i]->Enable() == IsOff &&
                    m.OstransOS[i]->Status() == IsOff && !m.txtSP[i]->isEnabled())
            << i;
    }
    // Module 4 starts with its output off.
    EXPECT_EQ(m.MMessage[4]->text(), "Module Off");
    EXPECT_TRUE(textColor(m.MMessage[4]) == Red && !m.cmdSetVoltage[4]->isEnabled());
    EXPECT_TRUE(m.OstransGlobalDC->Status() == IsOff && m.OstransErrorPicture->Status() == IsOff);

    ASSERT_TRUE(m.tmrMod4->isActive() && m.tmrMod4->interval() == 500);
    // Good modules need no second look, nor do empty slots.
    EXPECT_FALSE(m.tmrMod3->isActive() || m.tmrMod1->isActive());
    m.OH->setText("x");
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.OH->text() != "x"; }, 3000));
    EXPECT_TRUE(m.OH->text() == "15,321" && !m.tmrMod4->isActive());
    m.cmdRefresh_Click();
    EXPECT_FALSE(m.tmrMod4->isActive());
}

TEST_F(MonitorRead, ModuleGoodWindowAndFaultBitDecideTheState)
{
    // Catches a window test that ignores the "no window" rule, or a fault bit
    // that loses to the voltage (AlarmEvents sees it lose to a good one).
    onBus([](SimulatedBus &b) {
        b.SetModuleGoodHighThreshold("1", 2, 0);
        b.SetModuleGoodLowThreshold("1", 2, 0);
        b.SetModuleGoodHighThreshold("1", 3, 5000); // 10 V: 24 V is above it
        b.SetModuleGoodLowThreshold("1", 3, 4500);
    });
    MonitorForm &m = monitorRead("1");
    // Outside its window the unit also drops the module's good bit, which wins.
    EXPECT_EQ(texts(m.MMessage[2], m.MMessage[3]),
              (QStringList{"Module Good", "O u t p u t   F a u l t !"}));
    EXPECT_TRUE(m.OstransMG[3]->Status() == IsOff && m.OstransGlobalDC->Status() == IsOff &&
                textColor(m.MMessage[3]) == Red);
}

TEST_F(MonitorRead, OwnControlsUnitListAndHoursFailure)
{
    // Catches the window's own controls and texts missing or altered, a read
    // started without a unit, a unit list that accepts typed IDs, a pick that
    // keeps the old unit's panels, and operating hours that stay on show
    // after the unit stopped giving them.
    MonitorForm &m = monitor();
    for (const auto &[button, frame] :
         {std::pair{m.GOutputBtn, "Global Output"}, std::pair{m.GroupBtn, "Group"}}) {
        auto *box = qobject_cast<QGroupBox *>(button->parentWidget());
        ASSERT_NE(box, nullptr) << frame;
        EXPECT_EQ(box->title(), frame);
        EXPECT_FALSE(button->isHidden()) << frame;
        EXPECT_EQ(button->text(), "Off");
    }
    EXPECT_EQ(m.cmdModuleNumering->text(), "Help");
    for (QPushButton *help : {m.cmdHelp, m.cmdModuleNumering})
        EXPECT_EQ(help->toolTip(), "Click to view Help") << help->objectName().toStdString();

    m.cmdSelectUnit_Click();
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].title + "|" + env.dialogs.shown[0].text,
              "Halvex Electronics|Please select a valid unit.");
    EXPECT_EQ(env.dialogs.shown[0].icon, MsgIcon::Information);

    monitorRead("1");
    QTest::keyClick(m.UnitList, Qt::Key_7);
    QTest::keyClick(m.UnitList, Qt::Key_Down);
    EXPECT_EQ(m.UnitList->currentText(), "1");
    m.UnitList->setCurrentIndex(2);
    emit m.UnitList->activated(2);
    EXPECT_TRUE(compact(m) && !m.cmdRefresh->isEnabled());
    EXPECT_EQ(texts(m.MMessage[2], m.RV[2]), (QStringList{"Module Off", "0.0 - 0.0"}));
    EXPECT_EQ(m.Combo1->currentText(), "5   Sec.");

    monitorRead("1");
    bus->failMethod("GetOperatingHoursString", "ERR_TIMEOUT");
    QTest::mouseClick(m.cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(m.OH->text(), "");
    EXPECT_TRUE(env.readFile("error124.txt").contains("GetOperatingHoursString"));
}

class BusOverviewTest : public WindowFixture
{
protected:
    BusOverview &openOverview()
    {
        QTest::mouseClick(monitor().cmdBusOverview, Qt::LeftButton);
        BusOverview &o = monitor().busOverview();
        EXPECT_TRUE(o.isVisible());
        return o;
    }
    static bool scanEnds(BusOverview &o)
    {
        return QTest::qWaitFor([&] { return !o.scan().running(); }, 10000);
    }
    static QStringList column(BusOverview &o, int c)
    {
        QStringList texts;
        for (int i = 0; i < o.lstUnits->topLevelItemCount(); ++i)
            texts << o.lstUnits->topLevelItem(i)->text(c);
        return texts;
    }
};

TEST_F(BusOverviewTest, ScanListsTheAnsweringUnitsAndADoubleClickReadsOne)
{
    // Catches a unit missed or invented by the scan, wrong serial, firmware,
    // module types or alarms, and progress that does not reach the end. The
    // picture is kept beside the test program for a person to look at. And a
    // double-click that reads another unit over the panels of the one shown:
    // unit 3 has no modules 2, 4 and 5, and their group captions must be
    // those a read of unit 3 picked in the list shows, not unit 1's.
    bus->forceAlarm(5, 8, true);
    MonitorForm &m = monitorRead("1");
    ASSERT_EQ(texts(m.GID[1], m.GID[2], m.GID[3], m.GID[4], m.GID[5]).mid(3),
              (QStringList{"M[3]", "S[3]"}));
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    EXPECT_EQ(o.progressScan->value(), 32);
    EXPECT_EQ(o.lblScan->text(), "4 units answer on IDs 1 to 32.");
    EXPECT_EQ(column(o, 0), (QStringList{"1", "3", "5", "7"}));
    EXPECT_EQ(column(o, 1).mid(0, 2), (QStringList{"ZX5-21A0117", "ZX2-21B0342"}));
    EXPECT_EQ(column(o, 2).mid(0, 2), (QStringList{"2.11", "2.10"}));
    // Unit 7 starts with its outputs held off: no DC good.
    EXPECT_EQ(column(o, 4),
              (QStringList{"None", "None", "Fan Warning: Fail", "Global DC Good: Fail"}));

    ASSERT_TRUE(QTest::qWaitForWindowExposed(&o));
    const QImage picture = o.grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("bus_overview.png"));
    QWidget *rows = o.lstUnits->viewport();
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 5; ++c) {
            const QRect row = o.lstUnits->visualItemRect(o.lstUnits->topLevelItem(i));
            const QRect r(rows->mapTo(&o, QPoint(o.lstUnits->header()->sectionViewportPosition(c),
                                                 row.top())),
                          QSize(o.lstUnits->header()->sectionSize(c), row.height()));
            EXPECT_TRUE(inked(picture, r)) << "row " << i << " column " << c;
        }

    const QRect unit3 = o.lstUnits->visualItemRect(o.lstUnits->topLevelItem(1));
    ASSERT_EQ(o.lstUnits->topLevelItem(1)->text(0), "3");
    QTest::mouseClick(rows, Qt::LeftButton, {}, unit3.center());
    QTest::mouseDClick(rows, Qt::LeftButton, {}, unit3.center());
    ASSERT_EQ(m.Label3D3->Caption(), "Power supply Id: 3");
    EXPECT_TRUE(m.UnitList->currentText() == "3" && m.UnitSelected);
    const QStringList fromOverview = texts(m.GID[1], m.GID[2], m.GID[3], m.GID[4], m.GID[5]);
    // The module types as the monitor's read shows them.
    QStringList types;
    for (int k = 1; k <= 5; ++k)
        if (m.session().data().modulePresent(k))
            types << QStringLiteral("%1: %2").arg(k).arg(m.session().ratings(k).Type);
    EXPECT_EQ(column(o, 3).value(1), types.join("; "));

    monitorRead("1");
    const int three = m.UnitList->findText("3");
    m.UnitList->setCurrentIndex(three);
    emit m.UnitList->activated(three);
    QTest::mouseClick(m.cmdSelectUnit, Qt::LeftButton);
    ASSERT_EQ(m.Label3D3->Caption(), "Power supply Id: 3");
    EXPECT_EQ(fromOverview.join(" | ").toStdString(),
              texts(m.GID[1], m.GID[2], m.GID[3], m.GID[4], m.GID[5]).join(" | ").toStdString());
    for (int k : {2, 4, 5})
        EXPECT_EQ(m.MMessage[k]->text(), "Not Present") << k;
}

// Catches a look for units that asks an empty ID with the reads' timeout and
// retries (no short question first), one that reads an ID where nobody
// answered it, and a read the user asked for that asks the short question.
TEST_F(BusOverviewTest, OnlyALookForUnitsAsksTheShortQuestion)
{
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    ASSERT_TRUE(scanEnds(o));
    QStringList probed, read;
    for (const RecordingDevice::Call &c : log.calls())
        (c.method == "ProbeUnit" ? probed : read) << c.arguments.value(0);
    QStringList all;
    for (int id = 1; id <= 32; ++id)
        all << QString::number(id);
    EXPECT_EQ(probed, all);
    EXPECT_EQ(QSet<QString>(read.begin(), read.end()),
              (QSet<QString>{"1", "3", "5", "7", "\"COM1\"", ""}));
    log.clear();
    EXPECT_EQ(ConfigSession(*ZelkGlobals::Device, "COM1").answeringUnits(),
              (QList<int>{1, 3, 5, 7}));
    EXPECT_EQ(log.methodNames().count("ProbeUnit"), 32);
    EXPECT_EQ(log.methodNames().count("GetUnitID"), 4);

    for (int road = 0; road < 3; ++road) {
        log.clear();
        if (road == 0)
            QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
        else if (road == 1)
            monitorRead("3");
        else
            editorRead("5"); // Detect Unit ID: UnitIdTools
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.calls().size() > 2; }, 10000)) << road;
        EXPECT_FALSE(log.methodNames().contains("ProbeUnit")) << road;
        if (o.watching())
            QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    }
}

TEST_F(BusOverviewTest, CancelOrAPortThatDoesNotOpenEndsTheScanSayingSo)
{
    // Catches a Cancel that lets the scan run on, or one that cuts a unit's
    // sequence in half (its port left open); and a scan that reports "no unit
    // answers" when it never reached the line.
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    log.onCall = [&](const RecordingDevice::Call &c) {
        if (c.method == "ProbeUnit" && c.arguments.value(0) == "4")
            QTest::mouseClick(o.cmdCancel, Qt::LeftButton);
    };
    ASSERT_TRUE(scanEnds(o));
    log.onCall = nullptr;
    EXPECT_EQ(o.scan().nextId(), 5);
    EXPECT_EQ(o.progressScan->value(), 4);
    EXPECT_EQ(o.lblScan->text(), "Scan cancelled before unit 5: 2 units answer.");
    EXPECT_EQ(log.methodNames().last(), "ClosePort");
    EXPECT_TRUE(!SharedLine::instance().busy() && o.cmdScan->isEnabled() &&
                !o.cmdCancel->isEnabled());

    ZelkGlobals::ComPort = "ttyNone";
    QTest::mouseClick(o.cmdScan, Qt::LeftButton);
    ASSERT_TRUE(scanEnds(o));
    EXPECT_EQ(o.lstUnits->topLevelItemCount(), 0);
    EXPECT_TRUE(o.lblScan->text().startsWith("The port ttyNone could not be opened ("));
    EXPECT_TRUE(o.lblScan->text().endsWith("): the scan stopped at unit 1."));
    EXPECT_FALSE(SharedLine::instance().busy());
}

TEST_F(BusOverviewTest, ScanStepAndPollDueAtOnceRunInTurnWithTheirOwnValues)
{
    // Catches a poll that runs inside a scan step rather than right after it
    // (SharedLineTest sees any sequences interleave on the port), and values
    // of one unit landing in the other's results.
    MonitorForm &m = monitorRead("1");
    startMonitoring("5   Sec.");
    pollAt(5000);
    const QString alone = m.rtbNewLogText().section("\r\n", -1).section(',', 2);
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    bool due = false;
    log.onCall = [&](const RecordingDevice::Call &c) {
        if (!due && c.method == "GetPresentModules" && c.arguments.value(0) == "3") {
            due = true;
            pollAt(10000); // the poll's tick comes while the scan asks unit 3
        }
    };
    ASSERT_TRUE(scanEnds(o));
    log.onCall = nullptr;
    ASSERT_TRUE(due);
    EXPECT_TRUE(QTest::qWaitFor([&] { return records() == 2; }, 5000));
    EXPECT_EQ(m.rtbNewLogText().section("\r\n", -1).section(',', 2), alone);
    EXPECT_EQ(o.lstUnits->topLevelItemCount(), 4);
    EXPECT_EQ(o.lstUnits->topLevelItem(1)->text(1), "ZX2-21B0342");
    // The poll waited for unit 3's step and went before unit 4's.
    QStringList asked; // the unit of each call, in order
    for (const RecordingDevice::Call &c : log.calls())
        if (c.method != "OpenPort" && !c.arguments.isEmpty())
            asked << c.arguments[0];
    const qsizetype poll = asked.indexOf("\"1\"");
    EXPECT_TRUE(poll > asked.lastIndexOf("3") && poll < asked.indexOf("4"))
        << asked.join(' ').toStdString();
    EXPECT_FALSE(SharedLine::instance().busy());
}

TEST(SharedLineDeviceTest, OnlyTheLastClosePortReachesThePort)
{
    // Catches one sequence's ClosePort closing the port under another.
    auto owned = std::make_unique<testing::StrictMock<MockZelkDevice>>();
    MockZelkDevice &inner = *owned;
    testing::InSequence order;
    EXPECT_CALL(inner, OpenPort(QString("COM1"))).WillOnce(testing::Return(CmdOk));
    EXPECT_CALL(inner, ClosePort()).WillOnce(testing::Return(CmdOk));
    SharedLineDevice device(std::move(owned));
    SharedLine &line = SharedLine::instance();
    EXPECT_EQ(device.OpenPort("COM1"), CmdOk);
    EXPECT_EQ(device.OpenPort("COM1"), CmdOk); // a second window's sequence
    EXPECT_EQ(device.ClosePort(), CmdOk);
    EXPECT_TRUE(line.busy());
    int ran = 0;
    line.whenFree(nullptr, [&] { ran += 10; }); // its window is gone: dropped
    line.whenFree(&line, [&] { ++ran; });
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(device.ClosePort(), CmdOk);
    EXPECT_TRUE(!line.busy() && QTest::qWaitFor([&] { return ran == 1; }, 1000));
}

// Catches a watch line that does not say what its time measures or goes on
// showing the last cycle once Watch is off, a watch that shows the alarms
// the scan saw rather than the ones raised now or stops after a cycle, a
// Watch left on by a new scan, and a watch that goes on asking the units
// once nobody can see it: closing the monitor closes its bus overview.
TEST_F(BusOverviewTest, WatchShowsTheAlarmsOfNowUntilItEnds)
{
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    ASSERT_EQ(column(o, 4).value(0), "None");
    bus->forceAlarm(1, 8, true);
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    ASSERT_TRUE(o.watching());
    EXPECT_TRUE(QTest::qWaitFor([&] { return column(o, 4)[0] == "Fan Warning: Fail"; }, 10000));
    const QRegularExpression cycle("^Watching: 4 units found, a cycle of all units in \\d+ ms\\.$");
    EXPECT_TRUE(QTest::qWaitFor([&] { return cycle.match(o.lblScan->text()).hasMatch(); }, 10000))
        << o.lblScan->text().toStdString();
    bus->forceAlarm(1, 8, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return column(o, 4)[0] == "None"; }, 10000));
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    EXPECT_FALSE(o.watching());
    EXPECT_EQ(o.lblScan->text(), "Not watching.");

    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    QTest::mouseClick(o.cmdScan, Qt::LeftButton);
    EXPECT_FALSE(o.watching() || o.cmdWatch->isChecked());
    ASSERT_TRUE(scanEnds(o));
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    ASSERT_TRUE(o.watching());
    QTest::mouseClick(monitor().cmdClose, Qt::LeftButton);
    EXPECT_FALSE(monitor().isVisible() || o.isVisible() || o.watching());
}

// Behind the shared line, in front of the bus: whether the real port is
// open, and each call that reaches it at the wrong time. Each call first
// lets window events run, as a wait for an answer on the line does.
class LineProbe final : public ForwardingDevice
{
public:
    explicit LineProbe(std::unique_ptr<ZelkDevice> inner)
        : m_inner(std::move(inner))
    {}

    QString OpenPort(const QString &port) override
    {
        check("OpenPort");
        if (m_open)
            faults << QStringLiteral("OpenPort on a port another sequence has open");
        const QString reply = m_inner->OpenPort(port);
        m_open = reply == CmdOk;
        return reply;
    }
    QString ClosePort() override
    {
        check("ClosePort");
        m_open = false;
        return m_inner->ClosePort();
    }
    bool open() const { return m_open; }

    bool starting = false; // self-started work is being started
    QStringList faults;

protected:
    ZelkDevice &target() override
    {
        check("a call");
        if (!m_open)
            faults << QStringLiteral("a call on a port closed under its sequence");
        QCoreApplication::processEvents();
        return *m_inner;
    }

private:
    void check(const char *what)
    {
        if (starting)
            faults << QStringLiteral("%1 of work started inside another sequence's event pass")
                          .arg(QLatin1String(what));
    }

    std::unique_ptr<ZelkDevice> m_inner;
    bool m_open = false;
};

class SharedLineTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        ZelkGlobals::Device.reset(); // the bus lets go of its store
        auto inner = std::make_unique<SimulatedBus>(env.folder());
        bus = inner.get();
        bus->setNoiseEnabled(false);
        auto probed = std::make_unique<LineProbe>(std::move(inner));
        probe = probed.get();
        ZelkGlobals::Device = std::make_unique<SharedLineDevice>(std::move(probed));
    }

    LineProbe *probe = nullptr;
};

TEST_F(SharedLineTest, WorkStartedInsideASequenceWaitsForItsEnd)
{
    // Catches a sequence whose line reads as free in one of its event passes
    // (the pass that tests OpenPort's reply, a wait for an answer, a pause):
    // a poll, a watch or scan step or another window's read started there
    // reaches the port, fails and closes it under the first sequence.
    MonitorForm &m = monitorRead("1");
    BusOverview &overview = m.busOverview();
    overview.cmdScan_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !overview.scan().running(); }, 20000));
    ASSERT_FALSE(overview.scan().found().isEmpty());
    pick("3");
    startMonitoring("5   Sec.");

    // Armed while a road runs, until the first work that waited for it
    // starts: that work's own event passes are the next road's business.
    bool armed = false, editorClicked = false;
    int queued = 0;
    QTimer eachPass; // fires in every event pass while it runs
    QObject::connect(&eachPass, &QTimer::timeout, [&] {
        SharedLine &line = SharedLine::instance();
        if (armed && line.waiting() < queued)
            armed = false;
        if (!armed || !probe->open() || probe->starting)
            return;
        probe->starting = true;
        env.clock.monotonic += 60000; // a poll is due
        m.Timer2_Timer();
        if (!overview.watchDue())
            overview.setWatching(true);
        if (!overview.scan().running())
            overview.scan().start();
        if (!std::exchange(editorClicked, true))
            SupplyConfig::instance().SelectButton->click();
        probe->starting = false;
        queued = line.waiting();
    });
    eachPass.start(0);

    const char *const roads[] = {"the editor's read", "a poll", "a refresh", "a scan"};
    for (int road = 0; road < 4; ++road) {
        SCOPED_TRACE(roads[road]);
        armed = true;
        editorClicked = false;
        queued = 0;
        if (road == 0)
            QTest::mouseClick(editor().SelectButton, Qt::LeftButton);
        else if (road == 1)
            pollAt(env.clock.monotonic + 60000);
        else if (road == 2)
            m.cmdRefresh_Click();
        else
            overview.cmdScan_Click();
        armed = false;
        // The work that waited runs once the line is free, itself watched.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !overview.scan().running() && !SharedLine::instance().busy() &&
                       SharedLine::instance().waiting() == 0;
            },
            20000));
        EXPECT_TRUE(probe->faults.isEmpty()) << probe->faults.join('\n').toStdString();
        probe->faults.clear();
    }
    eachPass.stop();
    overview.setWatching(false);
    m.Check1->setChecked(false);
    EXPECT_TRUE(env.dialogs.texts().filter(QStringLiteral("COM")).isEmpty())
        << env.dialogs.texts().join('\n').toStdString();
}

} // namespace
