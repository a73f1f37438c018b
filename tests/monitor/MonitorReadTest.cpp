// The monitor road in Interactive Mode: reading a unit, the module panels,
// the module timers, a unit that does not answer and how the window looks.
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "controls/Label3D.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

namespace {

QRgb textColor(QLabel *label)
{
    return label->palette().color(QPalette::WindowText).rgb();
}
const QRgb Red = qRgb(255, 0, 0);
constexpr qint16 On = OstransIndicator::True;
constexpr qint16 Off = OstransIndicator::False;

using MonitorRead = WindowFixture;

TEST_F(MonitorRead, UnitReadFillsEveryPanelFromTheUnitAndScaleIni)
{
    // Catches panels filled from the wrong record field, module or ratings section.
    MonitorForm &m = monitorRead("1");
    EXPECT_EQ(m.Label3D3->Caption(), "Power supply Id: 1");
    EXPECT_EQ(m.size(), LargeLayout);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(m.MMessage[i]->text(), "Module Good") << i;
        EXPECT_EQ(textColor(m.MMessage[i]), qRgb(0, 255, 0)) << i;
        EXPECT_TRUE(m.OstransMG[i]->Status() == On && m.OstransOS[i]->Status() == On) << i;
    }
    EXPECT_EQ(texts(m.lblReady, m.RV[2], m.RC[2], m.RV[4], m.VLH[2], m.VLL[2], m.CL[2], m.GID[2],
                    m.GID[4], m.GID[5], m.txtSP[3], m.OstransDisplay[1], m.OstransDisplayCurr[1],
                    m.OstransDisplayCurr[4], m.OH),
              (QStringList{"R e a d y", "5.0 - 15.0", "30", "20.0 - 58.0", "12.60", "11.40",
                           "Current Limit = 24", "2", "M[3]", "S[3]", "24", "3.30", "40.00", "3.20",
                           "1,234"}));
    EXPECT_TRUE(m.OstransGlobalDC->Status() == On && m.OstransErrorPicture->Status() == On);
    EXPECT_TRUE(m.cmdRefresh->isEnabled() && m.Check1->isEnabled() && m.UnitList->isEnabled());
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
        EXPECT_TRUE(m.OstransMG[i]->Status() == Off && m.OstransOS[i]->Enable() == Off &&
                    m.OstransOS[i]->Status() == Off && !m.txtSP[i]->isEnabled())
            << i;
    }
    // Module 4 starts with its output off.
    EXPECT_EQ(m.MMessage[4]->text(), "Module Off");
    EXPECT_EQ(textColor(m.MMessage[4]), Red);
    EXPECT_FALSE(m.cmdSetVoltage[4]->isEnabled());
    EXPECT_TRUE(m.OstransGlobalDC->Status() == Off && m.OstransErrorPicture->Status() == Off);

    ASSERT_TRUE(m.tmrMod4->isActive());
    EXPECT_EQ(m.tmrMod4->interval(), 500);
    // Good modules need no second look, nor do empty slots.
    EXPECT_FALSE(m.tmrMod3->isActive() || m.tmrMod1->isActive());
    m.OH->setText("x");
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.OH->text() != "x"; }, 3000));
    EXPECT_EQ(m.OH->text(), "15,321");
    EXPECT_FALSE(m.tmrMod4->isActive());
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
    EXPECT_TRUE(m.OstransMG[3]->Status() == Off && m.OstransGlobalDC->Status() == Off);
    EXPECT_EQ(textColor(m.MMessage[3]), Red);
}

TEST_F(MonitorRead, SilentUnitIsToldInTheSmallLayout)
{
    // Catches a unit that does not answer without the monitor saying so, a
    // failed read that leaves the panels live or hides where the details are,
    // and log controls the failure locked that the next good read leaves locked.
    MonitorForm &m = monitorRead("1");
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
    EXPECT_EQ(shownAtFailure, "Unit does not respond!");
    EXPECT_TRUE(smallAtFailure);

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
}

TEST_F(MonitorRead, GroupAndGlobalButtonsHelpTextsAndHoursFailure)
{
    // Catches the window's own controls and texts missing or altered, and
    // operating hours that stay on show after the unit stopped giving them.
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

    monitorRead("1");
    bus->failMethod("GetOperatingHoursString", "ERR_TIMEOUT");
    QTest::mouseClick(m.cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(m.OH->text(), "");
    EXPECT_TRUE(env.readFile("error124.txt").contains("GetOperatingHoursString"));
}

TEST_F(MonitorRead, UnitListTakesNoTypingAndPickingResetsTheWindow)
{
    // Catches a read started without a unit, a unit list that accepts typed
    // IDs, or a pick that keeps the old unit's panels.
    MonitorForm &m = monitor();
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
}

TEST_F(MonitorRead, PictureShowsEveryCaptionAtTheLargeSize)
{
    // Catches a window that renders empty, or at the compact size, once a
    // unit is read, a module switched off and Monitor Mode has polled: each
    // caption must show as more than one colour where it stands. The picture
    // is kept beside the test program for a person to look at.
    MonitorForm &m = monitorRead("1");
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

} // namespace
