// Picking a unit and reading it: progress text, LEDs, window sizes, the
// failure path and the prompts that guard leaving a unit.
#include "EditorFixture.h"
#include "controls/OstransLed.h"
#include "device/RecordingDevice.h"

#include <QStringList>
#include <memory>

namespace {

const char *const ReadLabels[] = {
    "Get present modules................", "Get Module Good Status Byte........",
    "Get Unit Serial Number.............", "Get Unit Version...................",
    "Get Fan Fail Polarity..............", "Get Global DCGood Polarity.........",
    "Get O.T. Fail Polarity.............", "Get Default Global Output Polarity.",
    "Get Default Group State............", "Get Default Global Output State....",
    "Get Module Type....................", "Get Module Serial Number...........",
    "Get Module Version.................", "Get Programming Mode...............",
    "Get Default Output On Off Polarity.", "Get Default Output On Off State....",
    "Get Output Turn ON Delay...........", "Get Output Voltage Setpoint........",
    "Get Module Good Low Threshold......", "Get Module Good High Threshold.....",
    "Get Current Limit Mode.............", "Get Current Limit..................",
    "Get Current Limit ON Time..........", "Get Current Limit OFF Time.........",
    "Get Output State..................."};

const QString RecycleText =
    QStringLiteral("The changes made will not take effect until the supply to the unit is "
                   "recycled.\r\nTo avoid unexpected operation please recycle the supply before "
                   "continuing.");

using ReadRoad = EditorFixture;

} // namespace

// Catches a wrong or reordered progress text, LEDs that do not blink while
// the line is busy, a window that does not grow, a wrong heading or tab.
TEST_F(ReadRoad, ReadingUnitThreeFillsTheEditor)
{
    SupplyConfig &e = editor();
    struct Seen
    {
        qint16 txBlinking, rxBlinking, txInterval, rxInterval;
    };
    std::vector<Seen> seen;
    QObject::connect(e.RichTextBox1, &QTextEdit::textChanged, [&] {
        seen.push_back({e.OstransTx->Blinking(), e.OstransRx->Blinking(), e.OstransTx->BInterval(),
                        e.OstransRx->BInterval()});
    });
    pickAndStart(QStringLiteral("3"));

    QStringList expected = {QStringLiteral("Reading Zelk Configuration"),
                            QStringLiteral("Openning COM1, Bauds: 9600, Parity: NO, Databits: 8, "
                                           "...Ok")};
    for (const char *label : ReadLabels)
        expected << QString::fromLatin1(label) + QStringLiteral("Ok");
    expected << QString() << QStringLiteral("Closing Communication..............Ok") << QString();
    EXPECT_EQ(e.RichTextBox1->toPlainText().split(QLatin1Char('\n')), expected);

    ASSERT_GT(seen.size(), 20u);
    for (std::size_t i = 0; i + 1 < seen.size(); ++i) { // the last line comes after the read
        EXPECT_EQ(seen[i].txBlinking, OstransLed::True) << i;
        EXPECT_EQ(seen[i].rxBlinking, OstransLed::True) << i;
        EXPECT_EQ(seen[i].txInterval, 800);
        EXPECT_EQ(seen[i].rxInterval, 500);
    }
    for (OstransLed *led : {e.OstransTx, e.OstransRx}) {
        EXPECT_EQ(led->Blinking(), OstransLed::False);
        EXPECT_EQ(led->Status(), OstransLed::True);
        EXPECT_EQ(led->shownPicture(), OstransLed::OnPicture);
    }

    EXPECT_EQ(e.height(), px(8510));
    EXPECT_EQ(e.width(), px(11850));
    EXPECT_TRUE(EditorState::UnitShown);
    EXPECT_EQ(e.lblMain->text(), QStringLiteral("Settings of Power Supply ID: 3"));
    EXPECT_TRUE(e.SSTab1(1)->isVisible());
    EXPECT_TRUE(e.ErrorButton->isHidden());
    EXPECT_EQ(e.SSTab1(1)->currentIndex(), 4); // Module-1
    for (int m = 1; m <= 5; ++m)
        EXPECT_EQ(e.SSTab1(1)->isTabEnabled(5 - m), m == 1 || m == 3) << m;
    EXPECT_FALSE(e.cmdApply->isEnabled());
    EXPECT_FALSE(e.cmdSave->isEnabled());
    EXPECT_TRUE(e.Save->isEnabled());
    EXPECT_TRUE(e.Frame6->isHidden());
    for (QWidget *w : {static_cast<QWidget *>(e.SelectButton), static_cast<QWidget *>(e.UnitList),
                       static_cast<QWidget *>(e.Cancel), static_cast<QWidget *>(e.cmdMonitor)})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_FALSE(env.desktop.busy);
    EXPECT_TRUE(env.desktop.windowEnabled);
    EXPECT_EQ(env.dialogs.count(), 0);
}

// Catches fields that do not show what the unit stores: identity, options,
// set-point, limits in volts, current-limit mode and times, type names.
TEST_F(ReadRoad, FieldsShowTheUnitsStoredValues)
{
    onBus([](ZelkDevice &d) {
        d.SetDefaultOutputVoltage("3", 1, 6170); // type 2: 1000 per volt
        d.SetFanFailPolarity("3", 0);
        d.SetOTFailPolarity("3", 1);
    });
    pickAndStart(QStringLiteral("3"));
    SupplyConfig &e = editor();
    EXPECT_EQ(e.PSID->text(), QStringLiteral("3"));
    EXPECT_EQ(e.SerialNumber->text(), QStringLiteral("ZX2-21B0342"));
    EXPECT_EQ(e.MajVersion->text(), QStringLiteral("2"));
    EXPECT_EQ(e.MinVersion->text(), QStringLiteral("10"));
    EXPECT_TRUE(e.optFanFail(1)->isChecked());
    EXPECT_TRUE(e.optOverTemp(0)->isChecked());
    EXPECT_TRUE(e.optGlobal(0)->isChecked());
    EXPECT_TRUE(e.optGlobalOnOff(0)->isChecked());

    // Module 1: type 2 at 5.2 V, latching; module 3: type 6 at 150 V, hiccup.
    EXPECT_EQ(e.vsp(1)->text(), QStringLiteral("6.17"));
    EXPECT_EQ(e.slrVsp(1)->value(), 62);
    EXPECT_EQ(e.slrVsp(1)->minimum(), 50);
    EXPECT_EQ(e.slrVsp(1)->maximum(), 150);
    EXPECT_EQ(e.hl(1)->text(), QStringLiteral("5.46"));
    EXPECT_EQ(e.ll(1)->text(), QStringLiteral("4.94"));
    EXPECT_TRUE(e.hl(1)->isEnabled());
    EXPECT_TRUE(e.optCurrentLimit(2)->isChecked());
    EXPECT_TRUE(e.EnableReset(1)->isChecked());
    EXPECT_FALSE(e.EnableReset(1)->isHidden());
    EXPECT_EQ(e.CurrentLimit(1)->text(), QStringLiteral("24"));
    EXPECT_EQ(e.hscrollCurrentLimit(1)->value(), 24);
    EXPECT_EQ(e.hscrollCurrentLimit(1)->maximum(), 30);
    EXPECT_EQ(e.txtModuleID(1)->text(), e.txtModuleID(1)->text().trimmed());
    EXPECT_FALSE(e.txtModuleID(1)->text().isEmpty());
    EXPECT_EQ(e.lblMaxCurrent(0)->text(), QStringLiteral("Module Type: ") +
                                              e.txtModuleID(1)->text() +
                                              QStringLiteral(" Max. Current: 30 Amp."));
    EXPECT_EQ(e.lblMinVoltage(0)->text(), QStringLiteral("Min. 5"));
    EXPECT_EQ(e.lblMaxVoltage(0)->text(), QStringLiteral("Max. 15"));
    EXPECT_TRUE(e.optCurrentLimit(9)->isChecked());
    EXPECT_FALSE(e.cboxResetTime(3)->isHidden());
    EXPECT_TRUE(e.EnableReset(3)->isHidden());
    EXPECT_EQ(e.startupdelay(3)->text(), QStringLiteral("100"));
    EXPECT_EQ(e.vsp(3)->text(), QStringLiteral("150"));
}

// Catches a silent unit that leaves the editor busy, expanded or without
// its error file button, or a message other than the reader's.
TEST_F(ReadRoad, UnitThatDoesNotAnswer)
{
    bus->setUnitSilent(3, true);
    pickAndStart(QStringLiteral("3"));
    SupplyConfig &e = editor();
    EXPECT_EQ(e.height(), px(2670));
    EXPECT_FALSE(EditorState::UnitShown);
    EXPECT_FALSE(e.ErrorButton->isHidden());
    EXPECT_TRUE(e.ErrorButton->isEnabled());
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].text,
              QStringLiteral("Unit 3 Does not Respond, make sure is properly connected and is the "
                             "correct UnitID Number"));
    EXPECT_EQ(env.dialogs.shown[0].title, ZelkData::AppTitle);
    EXPECT_FALSE(ZelkGlobals::ErrorFlag);
    for (QWidget *w : std::initializer_list<QWidget *>{
             e.SelectButton, e.Cancel, e.UnitList, e.cmdMonitor, e.cmdComSettings,
             e.cmdDetectUnitID, e.cmdChangeToNewUnitID, e.cmdDllFileVersion})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(e.OstransTx->Blinking(), OstransLed::False);
    EXPECT_EQ(e.OstransRx->Status(), OstransLed::True);
    EXPECT_FALSE(env.desktop.busy);
    EXPECT_TRUE(e.RichTextBox1->toPlainText().endsWith(
        QStringLiteral("Get present modules................")));

    QTest::mouseClick(e.ErrorButton, Qt::LeftButton);
    EXPECT_EQ(env.desktop.openedTextFiles, QStringList{ZelkGlobals::ErrorFilePath});
}

// Catches an earlier unit's "does not respond" shown again for a read that
// failed in another way.
TEST_F(ReadRoad, StaleNoResponseTextIsNotShownAgain)
{
    bus->setUnitSilent(3, true);
    pickAndStart(QStringLiteral("3"));
    ASSERT_EQ(env.dialogs.count(), 1);
    bus->failMethod(QStringLiteral("GetUnitSerialN"), QStringLiteral("ERR_TIMEOUT"), 5);
    pickAndStart(QStringLiteral("5"));
    EXPECT_EQ(env.dialogs.count(), 1);
    EXPECT_FALSE(editor().ErrorButton->isHidden());
    EXPECT_EQ(editor().height(), px(2670));
}

// Catches a read started without a unit, or anything beyond the one box.
TEST_F(ReadRoad, EmptyChoiceOnlyAsksForAUnit)
{
    SupplyConfig &e = editor();
    ASSERT_TRUE(e.UnitList->currentText().isEmpty());
    QTest::mouseClick(e.SelectButton, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.texts(), QStringList{QStringLiteral("Please select a valid unit.")});
    EXPECT_EQ(env.dialogs.shown[0].title, QStringLiteral("Halvex Electronics"));
    EXPECT_TRUE(e.RichTextBox1->toPlainText().isEmpty());
    EXPECT_EQ(e.OstransTx->Blinking(), OstransLed::False);
    EXPECT_FALSE(env.desktop.busy);
    EXPECT_EQ(e.height(), px(2670));
}

// Catches the restart prompt shown where the recycle prompt belongs, flags
// left set after a prompt, and a restart that does not cycle the output.
TEST_F(ReadRoad, LeavingPromptsAndTheirFlags)
{
    pickAndStart(QStringLiteral("1"));
    EditorState::UnitOptionsChanged = true;
    EditorState::ModuleOptionsChanged = true;
    EditorState::ChangesWritten = true;
    pick(QStringLiteral("1"));
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].text, RecycleText);
    EXPECT_EQ(env.dialogs.shown[0].buttons, MsgButtons::OK);
    EXPECT_EQ(env.dialogs.shown[0].title, QStringLiteral("EEPROM Configurator"));
    EXPECT_FALSE(EditorState::UnitOptionsChanged || EditorState::ModuleOptionsChanged ||
                 EditorState::ChangesWritten);

    pick(QStringLiteral("1")); // nothing pending: no box
    EXPECT_EQ(env.dialogs.count(), 1);

    // Changes edited but not written: no box, the flags stay.
    EditorState::ModuleOptionsChanged = true;
    pick(QStringLiteral("1"));
    EXPECT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(EditorState::ModuleOptionsChanged);

    auto inner = std::move(ZelkGlobals::Device);
    ZelkGlobals::Device = std::make_unique<RecordingDevice>(*inner);
    auto &log = static_cast<RecordingDevice &>(*ZelkGlobals::Device);
    EditorState::ChangesWritten = true;
    env.dialogs.msgAnswers = {MsgResult::Yes};
    QTest::mouseClick(editor().cmdMonitor, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 2);
    EXPECT_EQ(env.dialogs.shown[1].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(env.dialogs.shown[1].text.startsWith(
        QStringLiteral("The changes made will not take effect until the outputs are restarted.")));
    EXPECT_EQ(log.methodNames(),
              (QStringList{QStringLiteral("OpenPort"), QStringLiteral("SetGlobalOutputState"),
                           QStringLiteral("SetGlobalOutputState"), QStringLiteral("ClosePort")}));
    EXPECT_FALSE(EditorState::ModuleOptionsChanged || EditorState::ChangesWritten);
    EXPECT_TRUE(SupplyConfig::instance().isHidden());
    ZelkGlobals::Device = std::move(inner);
}

// Catches picking the shown unit again collapsing it, and another pick
// leaving the old unit's identity on screen.
TEST_F(ReadRoad, PickingAUnitInTheList)
{
    pickAndStart(QStringLiteral("1"));
    SupplyConfig &e = editor();
    pick(QStringLiteral("1"));
    EXPECT_EQ(e.height(), px(8510));
    EXPECT_EQ(e.PSID->text(), QStringLiteral("1"));
    EXPECT_TRUE(EditorState::UnitShown);

    pick(QStringLiteral("5"));
    EXPECT_EQ(e.height(), px(2670));
    EXPECT_FALSE(EditorState::UnitShown);
    EXPECT_TRUE(e.PSID->text().isEmpty());
    EXPECT_TRUE(e.SerialNumber->text().isEmpty());
    EXPECT_TRUE(e.SSTab1(1)->isHidden());
    EXPECT_EQ(e.UnitList->count(), 32);
}

// Catches one record shared by every unit read: a later read must not
// change what is kept for a unit read before it.
TEST_F(ReadRoad, EachUnitKeepsItsOwnRecord)
{
    SupplyConfig &e = editor();
    ZelkData *unread = e.unitRecord(QStringLiteral("7"));
    pickAndStart(QStringLiteral("1"));
    pickAndStart(QStringLiteral("3"));
    ASSERT_NE(e.unitRecord(QStringLiteral("1")), nullptr);
    EXPECT_EQ(e.unitRecord(QStringLiteral("1"))->SerialNumber, QStringLiteral("ZX5-21A0117"));
    EXPECT_EQ(e.unitRecord(QStringLiteral("3"))->SerialNumber, QStringLiteral("ZX2-21B0342"));
    EXPECT_EQ(e.unitRecord(QStringLiteral("7")), unread);
    EXPECT_EQ(e.unitRecord(QStringLiteral("32")), unread);
    e.LoadForm(); // the grouping dialog's reload keeps what was read
    EXPECT_EQ(e.unitRecord(QStringLiteral("1"))->SerialNumber, QStringLiteral("ZX5-21A0117"));
}

// Catches a resize that is not put back to the state's size and a close
// that does not bring the launcher back.
TEST_F(ReadRoad, SizeIsEnforcedAndClosingShowsTheLauncher)
{
    SupplyConfig &e = editor();
    e.resize(900, 400);
    EXPECT_EQ(e.size(), QSize(px(11850), px(2550)));
    pickAndStart(QStringLiteral("1"));
    e.resize(700, 300);
    EXPECT_EQ(e.size(), QSize(px(11850), px(8510)));

    QTest::mouseClick(e.Cancel, Qt::LeftButton);
    EXPECT_TRUE(e.isHidden());
    EXPECT_TRUE(MainForm::instance().isVisible());
}
