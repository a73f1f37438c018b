// Unit ID utilities on the demo bus (units 1, 3, 5, 7): what reaches the
// line, the boxes the user sees and what the bus holds afterwards.
#include "WindowFixture.h"
#include "core_windows/frmPleaseWait.h"

#include <QTimer>
#include <algorithm>

namespace {
using UnitIdTools = WindowFixture;
} // namespace

// Catches the version box showing something other than the device's text,
// the focus left on hidden controls of the collapsed window, the port being
// opened although the user gave up at a box; a same-ID change skipped, a new
// ID that does not reach the unit, or a failed change told as a success; 33
// accepted as a limit, a scan that goes on after a find, a frozen or
// re-enterable window during the scan, or a wrong progress line; and a
// not-found message without the limit, or a scan past the limit.
TEST_F(UnitIdTools, VersionBoxGivingUpChangingAnIdAndScanning)
{
    SupplyConfig &e = editor();
    e.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
    QTest::mouseClick(e.cmdDllFileVersion, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].title + "|" + env.dialogs.shown[0].text,
              "Dll file information|" + ZelkGlobals::Device->WhoAmI());
    e.cmdDllFileVersion->setFocus(Qt::TabFocusReason);
    e.Cancel->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(e.UnitList->hasFocus());

    env.dialogs.shown.clear();
    record();
    env.dialogs.msgAnswers = {MsgResult::Cancel};
    e.cmdDetectUnitID_Click();
    env.dialogs.inputAnswers = {{true, "0"}};
    e.cmdDetectUnitID_Click();
    env.dialogs.inputAnswers = {{true, "none"}};
    e.cmdDetectUnitID_Click();
    e.cmdDetectUnitID_Click(); // input cancelled
    env.dialogs.inputAnswers = {{true, "4"}, {true, ""}};
    e.cmdChangeToNewUnitID_Click();
    EXPECT_TRUE(log->calls().empty());
    EXPECT_EQ(env.dialogs.count(), 9);
    EXPECT_TRUE(env.dialogs.shown[0].buttons == MsgButtons::OKCancel &&
                env.dialogs.shown[0].title == "Utility: Detect Unit ID");

    record();
    env.dialogs.inputAnswers = {{true, "3"}, {true, "3"}};
    e.cmdChangeToNewUnitID_Click();
    EXPECT_EQ(log->methodNames(), (QStringList{"OpenPort", "SetNewUnitID", "ClosePort"}));
    EXPECT_EQ(env.dialogs.shown.back().title, "EEPROM Configurator");

    env.dialogs.inputAnswers = {{true, "3"}, {true, "40"}, {true, "9"}};
    e.cmdChangeToNewUnitID_Click();
    EXPECT_EQ(env.dialogs.texts().last(),
              QStringLiteral("The changes made will not take effect until the supply to the unit "
                             "is recycled.\r\nTo avoid unexpected operation please recycle the "
                             "supply before continuing."));
    QList<int> ids = bus->unitIds();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (QList<int>{1, 5, 7, 9}));
    onBus([](ZelkDevice &d) {
        qint16 oldId = 3, newId = 9, answer = 0;
        EXPECT_NE(d.GetUnitID(oldId, answer), "CMD_OK");
        EXPECT_EQ(d.GetUnitID(newId, answer), "CMD_OK");
    });

    env.dialogs.inputAnswers = {{true, "3"}, {true, "4"}}; // 3 is gone now
    e.cmdChangeToNewUnitID_Click();
    EXPECT_TRUE(env.dialogs.shown.back().icon == MsgIcon::Critical &&
                env.dialogs.shown.back().title == "Unit ID Changer" && !bus->portOpen());

    env.dialogs.shown.clear();
    record();
    env.dialogs.inputAnswers = {{true, "33"}, {true, "-2"}, {true, "4.6"}};
    // Events run during the scan: a probe sees the busy window up and the
    // buttons locked.
    bool busyShown = false, buttonsLocked = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, &e, [&] {
        if (!e.pleaseWait().isVisible())
            return;
        busyShown = true;
        buttonsLocked = !e.cmdDetectUnitID->isEnabled() && !e.SelectButton->isEnabled();
    });
    probe.start(0);
    e.cmdDetectUnitID_Click();
    probe.stop();
    EXPECT_EQ(log->methodNames(), (QStringList{"OpenPort", "GetUnitID", "ClosePort"}));
    EXPECT_TRUE(busyShown && buttonsLocked);
    EXPECT_TRUE(!e.pleaseWait().isVisible() && e.cmdDetectUnitID->isEnabled());
    EXPECT_EQ(e.pleaseWait().lblProgress->text(), "Scanning... Testing UnitID = 1 to 5  (20 %)");
    ASSERT_EQ(env.dialogs.count(), 5);
    EXPECT_EQ(env.dialogs.shown[1].text, "Enter maximum number to Scan Unit ID (1 - 32) ?");
    EXPECT_EQ(env.dialogs.shown[4].title + "|" + env.dialogs.shown[4].text,
              "Utilities, Zelk Unit Detect UnitID|Unit Id for this Unit is = 1");
    EXPECT_EQ(env.dialogs.shown[4].icon, MsgIcon::Information);

    bus->failMethod("GetUnitID", "ERR_TIMEOUT");
    record();
    env.dialogs.inputAnswers = {{true, "3"}};
    e.cmdDetectUnitID_Click();
    EXPECT_EQ(log->methodNames().count("GetUnitID"), 3);
    EXPECT_EQ(env.dialogs.texts().last(), "Unit did not respond from UnitID 1 to 3");
    EXPECT_EQ(e.pleaseWait().lblProgress->text(), "Scanning... Testing UnitID = 3 to 3  (100 %)");
    EXPECT_EQ(SupplyConfig::scanProgressText(1, 3),
              "Scanning... Testing UnitID = 1 to 3  (33.33 %)");
}
