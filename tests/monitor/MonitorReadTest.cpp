// The monitor road in Interactive Mode: reading a unit, the module panels,
// the module timers and a unit that does not answer.
#include "MonitorFixture.h"
#include "controls/Label3D.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "core/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QRgb textColor(QLabel *label)
{
    return label->palette().color(QPalette::WindowText).rgb();
}
const QRgb Red = qRgb(255, 0, 0);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Black = qRgb(0, 0, 0);

using MonitorRead = MonitorFixture;

TEST_F(MonitorRead, UnitReadFillsEveryPanelFromTheUnitAndScaleIni)
{
    // Catches panels filled from the wrong record field, module or ratings section.
    readUnit("1");
    EXPECT_EQ(form->Label3D3->Caption(), "Power supply Id: 1");
    EXPECT_EQ(form->lblReady->text(), "R e a d y");
    EXPECT_EQ(form->size(), QSize(Twips::toPixels(8850), Twips::toPixels(12075)));
    for (int m = 1; m <= 5; ++m) {
        EXPECT_EQ(form->MMessage[m]->text(), "Module Good") << m;
        EXPECT_EQ(textColor(form->MMessage[m]), Green) << m;
        EXPECT_EQ(form->OstransMG[m]->Status(), OstransIndicator::True) << m;
        EXPECT_EQ(form->OstransOS[m]->Status(), OstransIndicator::True) << m;
    }
    EXPECT_EQ(form->RV[2]->text(), "5.0 - 15.0");
    EXPECT_EQ(form->RC[2]->text(), "30");
    EXPECT_EQ(form->RV[4]->text(), "20.0 - 58.0");
    EXPECT_EQ(form->VLH[2]->text(), "12.60");
    EXPECT_EQ(form->VLL[2]->text(), "11.40");
    EXPECT_EQ(form->CL[2]->text(), "Current Limit = 24");
    EXPECT_EQ(form->GID[2]->text(), "2");
    EXPECT_EQ(form->GID[4]->text(), "M[3]");
    EXPECT_EQ(form->GID[5]->text(), "S[3]");
    EXPECT_EQ(form->txtSP[3]->text(), "24");
    EXPECT_EQ(form->OstransDisplay[1]->text(), "3.30");
    EXPECT_EQ(form->OstransDisplayCurr[1]->text(), "40.00");
    EXPECT_EQ(form->OstransDisplayCurr[4]->text(), "3.20");
    EXPECT_EQ(form->OH->text(), "1,234");
    EXPECT_EQ(form->OstransGlobalDC->Status(), OstransIndicator::True);
    EXPECT_EQ(form->OstransErrorPicture->Status(), OstransIndicator::True);
    EXPECT_TRUE(form->cmdRefresh->isEnabled());
    EXPECT_TRUE(form->Check1->isEnabled());
    EXPECT_TRUE(form->UnitList->isEnabled());
}

TEST_F(MonitorRead, AbsentSlotsShowNotPresentAndCannotBeSwitched)
{
    // Catches an empty slot shown as a module, or a switch that still takes clicks.
    readUnit("5");
    for (int m : {1, 2}) {
        EXPECT_EQ(form->MMessage[m]->text(), "Not Present");
        EXPECT_EQ(textColor(form->MMessage[m]), Black);
        EXPECT_EQ(form->OstransMG[m]->Status(), OstransIndicator::False);
        EXPECT_EQ(form->OstransOS[m]->Enable(), OstransIndicator::False);
        QTest::mouseClick(form->OstransOS[m], Qt::LeftButton);
        EXPECT_EQ(form->OstransOS[m]->Status(), OstransIndicator::False);
        EXPECT_FALSE(form->txtSP[m]->isEnabled());
    }
    // Module 4 starts with its output off.
    EXPECT_EQ(form->MMessage[4]->text(), "Module Off");
    EXPECT_EQ(textColor(form->MMessage[4]), Red);
    EXPECT_FALSE(form->cmdSetVoltage[4]->isEnabled());
    EXPECT_EQ(form->OstransGlobalDC->Status(), OstransIndicator::False);
    EXPECT_EQ(form->OstransErrorPicture->Status(), OstransIndicator::False);
}

TEST_F(MonitorRead, ModuleGoodWindowAndFaultBitDecideTheState)
{
    // Catches a window test that ignores the "no window" rule, the refresh's own
    // caption, or a fault bit that loses to a good voltage.
    withPort([&] {
        bus->SetModuleGoodHighThreshold("1", 2, 0);
        bus->SetModuleGoodLowThreshold("1", 2, 0);
        bus->SetModuleGoodHighThreshold("1", 3, 5000); // 10 V: 24 V is above it
        bus->SetModuleGoodLowThreshold("1", 3, 4500);
    });
    readUnit("1");
    EXPECT_EQ(form->MMessage[2]->text(), "Module Good");
    // Outside its window the unit also drops the module's good bit, which wins.
    EXPECT_EQ(form->MMessage[3]->text(), "O u t p u t   F a u l t !");
    EXPECT_EQ(form->OstransMG[3]->Status(), OstransIndicator::False);
    EXPECT_EQ(form->OstransGlobalDC->Status(), OstransIndicator::False);

    // The over-voltage marker clears every module-good bit; voltages stay inside.
    bus->forceAlarm(1, 7, true);
    form->cmdRefresh_Click();
    EXPECT_EQ(form->MMessage[1]->text(), "O u t p u t   F a u l t !");
    EXPECT_EQ(textColor(form->MMessage[1]), Red);
    EXPECT_EQ(form->OstransMG[1]->Status(), OstransIndicator::False);
    EXPECT_EQ(form->OstransErrorPicture->Status(), OstransIndicator::False);
}

TEST_F(MonitorRead, SilentUnitReturnsToTheNoUnitStateWithTheErrorFileButton)
{
    // Catches a failed read that leaves the panels live or hides where the details are.
    bus->setUnitSilent(3, true);
    readUnit("3");
    EXPECT_EQ(form->lblReady->text(), "Error, Click error file button");
    EXPECT_FALSE(form->cmdErrorfile->isHidden());
    EXPECT_TRUE(form->cmdErrorfile->isEnabled());
    EXPECT_EQ(form->Label3D3->Caption(), "Please Select Unit...");
    EXPECT_FALSE(form->UnitSelected);
    EXPECT_EQ(form->size(), QSize(Twips::toPixels(2750), Twips::toPixels(2690)));
    EXPECT_FALSE(form->cmdRefresh->isEnabled());
    EXPECT_FALSE(form->Check1->isEnabled());
    EXPECT_TRUE(form->UnitList->isEnabled());
    EXPECT_TRUE(form->progressbar1->isHidden());
    QTest::mouseClick(form->cmdErrorfile, Qt::LeftButton);
    EXPECT_EQ(env.desktop.openedTextFiles, QStringList{ZelkGlobals::ErrorFilePath});

    // The next good read frees the log controls the failure locked.
    readUnit("1");
    EXPECT_TRUE(form->cmdClear->isEnabled());
    EXPECT_TRUE(form->txtFileName->isEnabled());
}

TEST_F(MonitorRead, SilentUnitIsToldInTheSmallLayout)
{
    // Catches a unit that does not answer without the monitor saying so.
    readUnit("1");
    bus->setUnitSilent(1, true);
    QString shownAtFailure;
    bool smallAtFailure = false;
    RecordingDevice &r = record();
    r.onCall = [&](const RecordingDevice::Call &c) {
        if (c.method == "ClosePort" && shownAtFailure.isEmpty()) {
            shownAtFailure = form->lblReady->text();
            smallAtFailure = form->size() == QSize(Twips::toPixels(2750), Twips::toPixels(2690));
        }
    };
    form->cmdSelectUnit_Click();
    EXPECT_EQ(shownAtFailure, "Unit does not respond!");
    EXPECT_TRUE(smallAtFailure);
}

TEST_F(MonitorRead, GroupAndGlobalButtonsHelpTextsAndHoursFailure)
{
    // Catches the window's own controls and texts missing or altered, and
    // operating hours that stay on show after the unit stopped giving them.
    for (const auto &[button, frame] :
         {std::pair{form->GOutputBtn, "Global Output"}, std::pair{form->GroupBtn, "Group"}}) {
        auto *box = qobject_cast<QGroupBox *>(button->parentWidget());
        ASSERT_NE(box, nullptr) << frame;
        EXPECT_EQ(box->title(), frame);
        EXPECT_FALSE(button->isHidden()) << frame;
        EXPECT_EQ(button->text(), "Off");
    }
    EXPECT_EQ(form->cmdModuleNumering->text(), "Help");
    for (QPushButton *help : {form->cmdHelp, form->cmdModuleNumering})
        EXPECT_EQ(help->toolTip(), "Click to view Help") << help->objectName().toStdString();

    readUnit("1");
    EXPECT_EQ(form->OH->text(), "1,234");
    bus->failMethod("GetOperatingHoursString", "ERR_TIMEOUT");
    QTest::mouseClick(form->cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(form->OH->text(), "");
    EXPECT_TRUE(env.readFile("error124.txt").contains("GetOperatingHoursString"))
        << env.readFile("error124.txt").toStdString();
}

TEST_F(MonitorRead, OffModuleIsRefreshedOnceAfterItsTurnOnDelayOnlyAfterARead)
{
    // Catches module timers that never start, start on every refresh, or
    // refreshes that skip the operating hours.
    withPort([&] { bus->SetOutputTurnONDelayExUShort("5", 4, 500); });
    readUnit("5");
    ASSERT_TRUE(form->tmrMod4->isActive());
    EXPECT_EQ(form->tmrMod4->interval(), 500);
    EXPECT_FALSE(form->tmrMod3->isActive()); // good modules need no second look
    EXPECT_FALSE(form->tmrMod1->isActive()); // nor do empty slots
    form->OH->setText("x");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->OH->text() != "x"; }, 3000));
    EXPECT_EQ(form->OH->text(), "15,321");
    EXPECT_FALSE(form->tmrMod4->isActive());

    form->cmdRefresh_Click();
    EXPECT_FALSE(form->tmrMod4->isActive());
}

TEST_F(MonitorRead, UnitListTakesNoTypingAndPickingResetsTheWindow)
{
    // Catches a unit list that accepts typed IDs, or a pick that keeps the old unit's panels.
    readUnit("1");
    QTest::keyClick(form->UnitList, Qt::Key_7);
    QTest::keyClick(form->UnitList, Qt::Key_Down);
    EXPECT_EQ(form->UnitList->currentText(), "1");
    form->UnitList->setCurrentIndex(2);
    emit form->UnitList->activated(2);
    EXPECT_EQ(form->size(), QSize(Twips::toPixels(2750), Twips::toPixels(2690)));
    EXPECT_EQ(form->MMessage[2]->text(), "Module Off");
    EXPECT_EQ(form->RV[2]->text(), "0.0 - 0.0");
    EXPECT_FALSE(form->cmdRefresh->isEnabled());
    EXPECT_EQ(form->Combo1->currentText(), "5   Sec.");
}

TEST_F(MonitorRead, EmptyUnitChoiceIsRefused)
{
    // Catches a read started without a unit.
    form->cmdSelectUnit_Click();
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].text, "Please select a valid unit.");
    EXPECT_EQ(env.dialogs.shown[0].title, "Halvex Electronics");
    EXPECT_EQ(env.dialogs.shown[0].icon, MsgIcon::Information);
}

} // namespace
