// Picking a unit and reading it: progress text, LEDs, what each field shows,
// window sizes, the failure path and the prompts that guard leaving a unit.
#include "EditorShown.h"
#include "ReadSteps.h"
#include "WindowFixture.h"
#include "controls/OstransLed.h"
#include "core/Twips.h"
#include "device/SharedLine.h"

#include <QAbstractButton>
#include <QDir>
#include <QScrollBar>

namespace {

const QString RecycleText =
    QStringLiteral("The changes made will not take effect until the supply to the unit is "
                   "recycled.\r\nTo avoid unexpected operation please recycle the supply before "
                   "continuing.");

int px(int twips)
{
    return Twips::toPixels(twips);
}

using ReadRoad = WindowFixture;

} // namespace

// Catches a wrong or reordered progress text, LEDs that do not blink while
// the line is busy, a window that does not grow, a wrong heading or tab.
TEST_F(ReadRoad, ReadingUnitThreeFillsTheEditor)
{
    SupplyConfig &e = editor();
    QStringList seen; // both LEDs blinking, and their intervals, at each progress line
    QObject::connect(e.RichTextBox1, &QTextEdit::textChanged, [&] {
        seen << QStringLiteral("%1 %2 %3 %4")
                    .arg(e.OstransTx->Blinking())
                    .arg(e.OstransRx->Blinking())
                    .arg(e.OstransTx->BInterval())
                    .arg(e.OstransRx->BInterval());
    });
    pickAndStart("3");

    QStringList expected = {"Reading Zelk Configuration",
                            QStringLiteral("Openning COM1, Bauds: 9600, Parity: NO, Databits: 8, "
                                           "...Ok")};
    for (const auto &step : ReadSteps)
        expected << QString::fromLatin1(step.first) + "Ok";
    expected << QString() << "Closing Communication..............Ok" << QString();
    EXPECT_EQ(e.RichTextBox1->toPlainText().split(QLatin1Char('\n')), expected);

    ASSERT_GT(seen.size(), 20);
    seen.removeLast(); // the last line comes after the read
    EXPECT_EQ(seen, QStringList(seen.size(), "-1 -1 800 500"));
    for (OstransLed *led : {e.OstransTx, e.OstransRx})
        EXPECT_TRUE(led->Blinking() == OstransLed::False && led->Status() == OstransLed::True &&
                    led->shownPicture() == OstransLed::OnPicture);

    EXPECT_EQ(e.size(), QSize(px(11850), px(8510)));
    EXPECT_TRUE(EditorState::UnitShown && e.SSTab1(1)->isVisible());
    EXPECT_EQ(e.lblMain->text(), "Settings of Power Supply ID: 3");
    EXPECT_EQ(e.SSTab1(1)->currentIndex(), 4); // Module-1
    for (int m = 1; m <= 5; ++m)
        EXPECT_EQ(e.SSTab1(1)->isTabEnabled(5 - m), m == 1 || m == 3) << m;
    EXPECT_EQ(flags(&QWidget::isHidden, e.ErrorButton, e.Frame6), "11");
    EXPECT_EQ(flags(&QWidget::isEnabled, e.cmdApply, e.cmdSave, e.Save, e.SelectButton, e.UnitList,
                    e.Cancel, e.cmdMonitor),
              "0011111");
    EXPECT_TRUE(!env.desktop.busy && env.desktop.windowEnabled && env.dialogs.count() == 0);
}

// Catches a field that does not show what the unit stores (identity, options,
// set-point and slider, limits, times, type names), or a display rule not
// reaching its field: limits off shown as editable white boxes, the Normal
// mode showing limit fields, a Normally Off delay left editable, start-up
// controls open outside group 1; and clipped captions and controls that
// overlap after a read. Saves a picture of the editor for a person to look at.
TEST_F(ReadRoad, FieldsShowTheUnitsStoredValuesAndRulesUnclippedAndApart)
{
    onBus([](ZelkDevice &d) {
        d.SetModuleGoodHighThreshold("1", 1, 0);
        d.SetModuleGoodLowThreshold("1", 1, 0);
        d.SetDefaultOutputOnOffState("1", 1, 0);
        d.SetDefaultOutputVoltage("1", 2, 12340); // type 2: 1000 per volt
        d.SetGroupID("1", 4, 0);
        d.SetFanFailPolarity("1", 0);
        d.SetOTFailPolarity("1", 1);
    });
    SupplyConfig &e = editorRead("1");
    EXPECT_EQ(texts(e.PSID, e.SerialNumber, e.MajVersion, e.MinVersion),
              (QStringList{"1", "ZX5-21A0117", "2", "11"}));
    EXPECT_EQ(flags(&QAbstractButton::isChecked, e.optFanFail(1), e.optOverTemp(0), e.optGlobal(0),
                    e.optGlobalOnOff(0)),
              "1111");

    // Module 1: limits off; group 1, Normally Off.
    EXPECT_EQ(e.hl(1)->text(), "0");
    EXPECT_EQ(e.hl(1)->palette().color(QPalette::Disabled, QPalette::Base),
              QColor(0xE0, 0xE0, 0xE0));
    EXPECT_TRUE(e.optStartupState(2)->isChecked());
    EXPECT_EQ(flags(&QWidget::isEnabled, e.hl(1), e.ll(1), e.optStartupState(1), e.optPolarity(1),
                    e.startupdelay(1), e.Label13(5), e.Label9(6)),
              "0011000");

    // Module 2: type 2 (5 to 15 V, 30 A), Hiccup, group 2.
    EXPECT_EQ(texts(e.vsp(2), e.hl(2), e.ll(2), e.startupdelay(2), e.CurrentLimit(2)),
              (QStringList{"12.34", "12.6", "11.4", "250", "24"}));
    EXPECT_EQ((QList<int>{e.slrVsp(2)->value(), e.slrVsp(2)->minimum(), e.slrVsp(2)->maximum(),
                          e.hscrollCurrentLimit(2)->value(), e.hscrollCurrentLimit(2)->maximum()}),
              (QList<int>{123, 50, 150, 24, 30}));
    EXPECT_TRUE(e.hl(2)->isEnabled() && e.optCurrentLimit(6)->isChecked());
    EXPECT_EQ(e.hl(2)->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(flags(&QWidget::isHidden, e.cboxResetTime(2), e.EnableReset(2)), "01");
    const QString type = e.txtModuleID(2)->text();
    EXPECT_TRUE(!type.isEmpty() && type == type.trimmed());
    EXPECT_EQ(
        texts(e.lblMaxCurrent(1), e.lblMinVoltage(1), e.lblMaxVoltage(1)),
        (QStringList{"Module Type: " + type + " Max. Current: 30 Amp.", "Min. 5", "Max. 15"}));

    // Module 3: Latching with reset; module 4: Normal, group 0.
    EXPECT_EQ(flags(&QAbstractButton::isChecked, e.optCurrentLimit(8), e.EnableReset(3),
                    e.optCurrentLimit(10)),
              "111");
    EXPECT_EQ(flags(&QWidget::isHidden, e.EnableReset(3), e.cboxResetTime(3), e.CurrentLimit(4),
                    e.LabelCurrentLimit(4), e.hscrollCurrentLimit(4), e.cboxActivationTime(4),
                    e.cboxResetTime(4), e.EnableReset(4)),
              "01111111");
    // Groups 2 and 0 lock the start-up controls though Normally On.
    for (int m : {2, 4}) {
        EXPECT_TRUE(e.optStartupState(2 * m - 1)->isChecked());
        EXPECT_EQ(flags(&QWidget::isEnabled, e.Frame3(SupplyConfig::startUpFrameIndex(m)),
                        e.optStartupState(2 * m - 1), e.optPolarity(2 * m), e.startupdelay(m)),
                  "0000")
            << m;
    }

    showModule(2); // Hiccup: the fullest layout
    QCoreApplication::processEvents();
    EXPECT_TRUE(
        e.grab().save(QDir(QCoreApplication::applicationDirPath()).filePath("editor-unit1.png")));

    std::vector<QWidget *> leaves;
    for (QWidget *w : e.findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        const std::string name = w->objectName().toStdString();
        if (auto *label = qobject_cast<QLabel *>(w)) {
            EXPECT_TRUE(label->wordWrap() || label->width() >= label->sizeHint().width()) << name;
            leaves.push_back(w);
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << name;
            EXPECT_GE(button->height(), button->fontMetrics().height()) << name;
            leaves.push_back(w);
        } else if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
                   qobject_cast<QSlider *>(w) ||
                   (qobject_cast<QScrollBar *>(w) && w->objectName().startsWith("hscroll"))) {
            leaves.push_back(w);
        }
    }
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const QRect a(leaves[i]->mapTo(&e, QPoint(0, 0)), leaves[i]->size());
        EXPECT_TRUE(e.rect().contains(a)) << leaves[i]->objectName().toStdString();
        for (std::size_t j = i + 1; j < leaves.size(); ++j) {
            if (leaves[i]->isAncestorOf(leaves[j]) || leaves[j]->isAncestorOf(leaves[i]))
                continue;
            const QRect b(leaves[j]->mapTo(&e, QPoint(0, 0)), leaves[j]->size());
            EXPECT_FALSE(a.intersects(b)) << leaves[i]->objectName().toStdString() << " / "
                                          << leaves[j]->objectName().toStdString();
        }
    }
}

// Catches the lowest fitted module's tab not chosen when the first positions
// are empty, and module tabs shown for a unit held off at power-up, whose
// module settings were not read; and one record shared by every unit read:
// a later read must not change what is kept for a unit read before it.
TEST_F(ReadRoad, TabsFollowTheModulesReadAndEachUnitKeepsItsOwnRecord)
{
    ZelkData *unread = editor().unitRecord("32");
    SupplyConfig &e = editorRead("5");
    QTabWidget *tabs = e.SSTab1(1);
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(tabs->tabText(2), "Module-3");
    EXPECT_TRUE(!tabs->isTabEnabled(3) && !tabs->isTabEnabled(4));

    editorRead("7");
    EXPECT_TRUE(tabs->isHidden() && e.Text1->isHidden() && e.optGlobal(1)->isChecked());
    EXPECT_TRUE(
        e.RichTextBox1->toPlainText().contains("Get Module Type....................Ok\n\nClosing"));

    pickAndStart("1");
    pickAndStart("3");
    ASSERT_NE(e.unitRecord("1"), nullptr);
    EXPECT_EQ(e.unitRecord("1")->SerialNumber, "ZX5-21A0117");
    EXPECT_EQ(e.unitRecord("3")->SerialNumber, "ZX2-21B0342");
    EXPECT_EQ(e.unitRecord("32"), unread);
    e.LoadForm(); // the grouping dialog's reload keeps what was read
    EXPECT_EQ(e.unitRecord("1")->SerialNumber, "ZX5-21A0117");
}

// Catches a read started without a unit, a failed read that leaves the editor
// busy, expanded or without its error file button, a message other than the
// reader's, or an earlier unit's "does not respond" shown again for a read
// that failed in another way; and an editor read that runs inside another
// window's sequence (a poll letting events run), one that never runs once the
// line is free, and one that still runs after the editor was closed meanwhile.
TEST_F(ReadRoad, FailedAndWaitingReads)
{
    SupplyConfig &e = editor();
    const auto expectCollapsedAndFree = [&](bool errorButton) {
        EXPECT_EQ(e.height(), px(2670));
        EXPECT_FALSE(EditorState::UnitShown);
        EXPECT_EQ(!e.ErrorButton->isHidden() && e.ErrorButton->isEnabled(), errorButton);
        EXPECT_EQ(flags(&QWidget::isEnabled, e.SelectButton, e.Cancel, e.UnitList, e.cmdMonitor,
                        e.cmdComSettings, e.cmdDetectUnitID, e.cmdChangeToNewUnitID,
                        e.cmdDllFileVersion),
                  "11111111");
        EXPECT_TRUE(e.OstransTx->Blinking() == OstransLed::False && !env.desktop.busy);
    };
    ASSERT_TRUE(e.UnitList->currentText().isEmpty());
    QTest::mouseClick(e.SelectButton, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.texts(), QStringList{"Please select a valid unit."});
    EXPECT_EQ(env.dialogs.shown[0].title, "Halvex Electronics");
    EXPECT_TRUE(e.RichTextBox1->toPlainText().isEmpty());
    expectCollapsedAndFree(false);

    bus->setUnitSilent(3, true);
    pickAndStart("3");
    ASSERT_EQ(env.dialogs.count(), 2);
    EXPECT_EQ(env.dialogs.shown[1].title + "|" + env.dialogs.shown[1].text,
              ZelkGlobals::AppTitle + "|Unit 3 Does not Respond, make sure is properly connected "
                                      "and is the correct UnitID Number");
    EXPECT_TRUE(!ZelkGlobals::ErrorFlag && e.OstransRx->Status() == OstransLed::True);
    EXPECT_TRUE(e.RichTextBox1->toPlainText().endsWith("Get present modules................"));
    expectCollapsedAndFree(true);
    QTest::mouseClick(e.ErrorButton, Qt::LeftButton);
    EXPECT_EQ(env.desktop.openedTextFiles, QStringList{ZelkGlobals::ErrorFilePath});

    bus->failMethod("GetUnitSerialN", "ERR_TIMEOUT", 5);
    pickAndStart("5");
    EXPECT_EQ(env.dialogs.count(), 2);
    expectCollapsedAndFree(true);

    const auto freeLineAndSettle = [] {
        SharedLine::instance().release();
        for (int i = 0; i < 50 && !EditorState::UnitShown; ++i)
            QCoreApplication::processEvents();
    };
    for (const bool closedMeanwhile : {false, true}) {
        SupplyConfig &e = editor();
        pick("1");
        const QString progressBefore = e.RichTextBox1->toPlainText();
        SharedLine::instance().hold();
        QTest::mouseClick(e.SelectButton, Qt::LeftButton);
        EXPECT_TRUE(!EditorState::UnitShown && e.RichTextBox1->toPlainText() == progressBefore);
        if (closedMeanwhile)
            e.close();
        freeLineAndSettle();
        EXPECT_EQ(EditorState::UnitShown, !closedMeanwhile) << closedMeanwhile;
        if (!closedMeanwhile) {
            e.close();
            EditorState::reset();
        }
    }
}

// Catches no prompt after a write, the restart prompt where the recycle prompt
// belongs, flags left set after a prompt or cleared without one, and a Yes
// that does not bring the unit's outputs back on.
TEST_F(ReadRoad, LeavingAfterAWritePromptsAndRestarts)
{
    SupplyConfig &e = editorRead();
    const auto written = [&](bool unitOptions, bool moduleOptions) {
        if (unitOptions) {
            QTest::mouseClick(e.optOverTemp(e.optOverTemp(0)->isChecked() ? 1 : 0), Qt::LeftButton);
            QTest::mouseClick(e.cmdApply, Qt::LeftButton);
        }
        showModule(1);
        QTest::mouseClick(e.OptProgMode(e.OptProgMode(1)->isChecked() ? 2 : 1), Qt::LeftButton);
        if (moduleOptions)
            QTest::mouseClick(e.cmdApplyCLM(0), Qt::LeftButton);
    };
    // Unit and module options written: staying on the unit tells to recycle it.
    written(true, true);
    pick("1");
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].title + "|" + env.dialogs.shown[0].text,
              "EEPROM Configurator|" + RecycleText);
    EXPECT_EQ(env.dialogs.shown[0].buttons, MsgButtons::OK);
    EXPECT_FALSE(EditorState::UnitOptionsChanged || EditorState::ModuleOptionsChanged ||
                 EditorState::ChangesWritten);
    pick("1"); // nothing pending: no box
    EXPECT_EQ(env.dialogs.count(), 1);

    // Edited but not written: no box, the flag stays.
    written(false, false);
    pick("1");
    EXPECT_TRUE(env.dialogs.count() == 1 && EditorState::ModuleOptionsChanged);

    // A module written: leaving for the monitor offers the restart, and Yes
    // brings back the global output the unit holds off.
    QTest::mouseClick(e.cmdApplyCLM(0), Qt::LeftButton);
    onBus([](ZelkDevice &d) { d.SetGlobalOutputState(qint16(1), 0); });
    RecordingDevice &calls = record();
    env.dialogs.msgAnswers = {MsgResult::Yes};
    QTest::mouseClick(e.cmdMonitor, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 2);
    EXPECT_EQ(env.dialogs.shown[1].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(env.dialogs.shown[1].text.startsWith(
        "The changes made will not take effect until the outputs are restarted."));
    EXPECT_EQ(calls.methodNames(), (QStringList{"OpenPort", "SetGlobalOutputState",
                                                "SetGlobalOutputState", "ClosePort"}));
    qint16 state = 0;
    onBus([&](ZelkDevice &d) { d.GetGlobalOutputState(qint16(1), state); });
    EXPECT_EQ(state / 10 % 10, 1);
    EXPECT_TRUE(!EditorState::ModuleOptionsChanged && !EditorState::ChangesWritten &&
                e.isHidden() && monitor().isVisible());
}

// Catches tooltips missing from a control group, a missing key not shown as
// "N/A", picking the shown unit again collapsing it, another pick leaving the
// old unit's identity on screen, a resize not put back to the state's size,
// and a close that does not bring the launcher back.
TEST_F(ReadRoad, TooltipsPickingResizingAndClosing)
{
    QByteArray tips = env.readFile("Tooltips.ini");
    tips.replace("EnableReset=", "Unused=");
    env.writeFile("Tooltips.ini", tips);
    SupplyConfig &e = editor();
    EXPECT_EQ(e.slrVsp(4)->toolTip(), e.vsp(4)->toolTip());
    EXPECT_FALSE(e.vsp(4)->toolTip().isEmpty() || e.Cancel->toolTip().isEmpty());
    EXPECT_EQ(e.optCurrentLimit(20)->toolTip(), e.optCurrentLimit(1)->toolTip());
    EXPECT_EQ(e.EnableReset(3)->toolTip(), "N/A");

    EXPECT_FALSE(MainForm::instance().isVisible());
    e.resize(900, 400);
    EXPECT_EQ(e.size(), QSize(px(11850), px(2550)));
    pickAndStart("1");
    e.resize(700, 300);
    EXPECT_EQ(e.size(), QSize(px(11850), px(8510)));
    pick("1");
    EXPECT_TRUE(e.height() == px(8510) && EditorState::UnitShown && e.PSID->text() == "1");

    pick("5");
    EXPECT_TRUE(e.height() == px(2670) && !EditorState::UnitShown && e.SSTab1(1)->isHidden() &&
                e.UnitList->count() == 32);
    EXPECT_EQ(texts(e.PSID, e.SerialNumber), (QStringList{"", ""}));

    QTest::mouseClick(e.Cancel, Qt::LeftButton);
    EXPECT_TRUE(e.isHidden() && MainForm::instance().isVisible());
}
