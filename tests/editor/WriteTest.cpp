// Writing the configuration to the unit: what is read back, what is written
// and when a write stops, checked on the device log and on the bus itself.
#include "EditorShown.h"
#include "WindowFixture.h"
#include "configfile/FieldRules.h"
#include "controls/OstransLed.h"

#include <functional>

namespace {
using Write = WindowFixture;

const QString FailureText = QStringLiteral(
    "I could not open COM port, may be because is already open, close the program and try again.");

QStringList names(const char *spaced)
{
    return QString::fromLatin1(spaced).split(QLatin1Char(' '));
}

// The arguments of the first call of a method, or nothing.
QStringList argumentsOf(const RecordingDevice &log, const QString &method)
{
    for (const RecordingDevice::Call &c : log.calls())
        if (c.method == method)
            return c.arguments;
    return {};
}

// What the log holds between opening and closing the port.
QStringList inner(const RecordingDevice &log)
{
    QStringList all = log.methodNames();
    all.removeAll("OpenPort");
    all.removeAll("ClosePort");
    return all;
}
} // namespace

// Catches unit options written although the unit holds them, a missing
// always-written setting, a group state other than 0, or no "Ok" line; and a
// restart that switches the outputs on when the unit's remote input would
// hold them off (ReadRoad.LeavingAfterAWritePromptsAndRestarts sees a restart
// bring them back on where the options agree). And module settings written
// although unchanged, a set-point of 0 written, or a set-point above 0.009 V
// skipped because the unit holds it.
TEST_F(Write, OptionsAreWrittenOnlyWhereTheyDifferTheRestartFollowsAndTheSetpointAlwaysGoes)
{
    onBus([](ZelkDevice &d) { d.SetDefaultGroupState("1", 1); });
    SupplyConfig &e = editorRead();
    record();
    e.cmdApply_Click();
    EXPECT_EQ(log->methodNames(),
              names("OpenPort GetFanFailPolarity GetGlobalDCGoodPolarity GetOTFailPolarity "
                    "GetDefaultGroupState SetDefaultGroupState SetDefaultGlobalOutputPolarity "
                    "SetDefaultGlobalOutputState ClosePort"));
    EXPECT_EQ(argumentsOf(*log, "SetDefaultGroupState").last(), "0");
    EXPECT_TRUE(e.RichTextBox1->toPlainText().endsWith("\nWriting into Zelk Eeprom.......Ok"));
    EXPECT_TRUE(EditorState::ChangesWritten && env.dialogs.count() == 0 &&
                e.OstransTx->Blinking() == OstransLed::False);

    // Now the group state agrees; a changed fan-fail polarity is the one Set.
    QTest::mouseClick(e.optFanFail(1), Qt::LeftButton); // demo unit: index 0
    record();
    QTest::mouseClick(e.cmdApply, Qt::LeftButton);
    EXPECT_EQ(inner(*log), names("GetFanFailPolarity SetFanFailPolarity GetGlobalDCGoodPolarity "
                                 "GetOTFailPolarity GetDefaultGroupState "
                                 "SetDefaultGlobalOutputPolarity SetDefaultGlobalOutputState"));
    EXPECT_TRUE(argumentsOf(*log, "SetFanFailPolarity").last() == "0" && !e.cmdApply->isEnabled());

    // The restart follows the global options: the remote input holds the outputs off.
    e.optGlobal(0)->setChecked(true);
    e.optGlobalOnOff(1)->setChecked(true);
    record();
    e.RestartUnit();
    EXPECT_EQ(inner(*log), names("SetGlobalOutputState"));
    EXPECT_EQ(argumentsOf(*log, "SetGlobalOutputState").last(), "0");

    EditorState::ChangesWritten = false;
    record();
    e.cmdApplyCLM_Click(1); // module 2, stored as Hiccup
    EXPECT_EQ(inner(*log),
              names("GetProgrammingMode GetDefaultOutputOnOffPolarity GetDefaultOutputOnOffState "
                    "GetOutputTurnONDelayExUShort SetDefaultOutputVoltage "
                    "GetModuleGoodHighThreshold GetModuleGoodLowThreshold GetCurrentLimitMode "
                    "GetCurrentLimit GetCurrentLimitMode GetCurrentLimitONTimeExUShort "
                    "GetCurrentLimitOFFTimeExUShort"));
    EXPECT_EQ(argumentsOf(*log, "SetDefaultOutputVoltage").last(), "12000");
    EXPECT_TRUE(e.RichTextBox1->toPlainText().endsWith("Eeprom.......Ok") &&
                EditorState::ChangesWritten);

    // 0 means "not set" and is not sent; 0.01 is sent and so checked: out of range.
    for (const auto &[text, written] :
         {std::pair{"0", false}, {"0.009", false}, {"5", true}, {"0.01", false}}) {
        e.vsp(2)->setText(text);
        record();
        e.cmdApplyCLM_Click(1);
        EXPECT_EQ(argumentsOf(*log, "SetDefaultOutputVoltage").value(2), written ? "5000" : "")
            << text;
    }
    EXPECT_EQ(env.dialogs.texts(),
              QStringList{"0.01 is out of range, please enter value between 5 and 15"});
}

// Catches a value sent although its raw form does not fit 16 bits, or a type
// without a voltage scale factor whose volts are sent as 0. A refused value
// stops the whole module. (A value out of its module's range is refused at
// the write too: Validation.RefusalOutlivesTabAndModeSwitchesAndNothingIsWritten.)
TEST_F(Write, UnwritableValuesAreRefusedWithoutADeviceCall)
{
    // Module 2's type counts 3000 per volt: 12 V would be 36000.
    QByteArray scale = env.readFile("scale.ini");
    const qsizetype type2 = scale.indexOf("[TYPE2]");
    const qsizetype factor = scale.indexOf("VoltageScaleFactor=1000", type2);
    ASSERT_GT(factor, type2);
    scale.replace(factor, 23, "VoltageScaleFactor=3000");
    env.writeFile("scale.ini", scale);
    SupplyConfig &e = editorRead();
    showModule(2);
    QTest::mouseClick(e.cmdPreset(2), Qt::LeftButton); // the stored limits read as 4.2 V and less
    // Typed within range but beyond what the unit holds.
    enterAndLeave(e.vsp(2), "12");
    record();
    QTest::mouseClick(e.cmdApplyCLM(1), Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown.back().text,
              "Module 2: the voltage set-point 12 was not written: with the module's scale factor "
              "3000 it would be 36000, and the unit holds -32768 to 32767.");
    EXPECT_TRUE(log->calls().empty() && e.cmdApplyCLM(1)->isEnabled())
        << log->callTexts().join('\n').toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return e.vsp(2)->hasFocus(); }, 2000));

    e.moduleRatings(2).VoltageScaleFactor = 0;
    enterAndLeave(e.vsp(2), "12");
    record();
    e.cmdApplyCLM_Click(1);
    EXPECT_TRUE(env.dialogs.shown.back().text.contains("no voltage scale factor"));
    for (const char *method :
         {"SetDefaultOutputVoltage", "GetModuleGoodHighThreshold", "GetModuleGoodLowThreshold"})
        EXPECT_TRUE(argumentsOf(*log, QString::fromLatin1(method)).isEmpty()) << method;
    EXPECT_FALSE(argumentsOf(*log, "GetCurrentLimitMode").isEmpty());
}

// Catches a reply that fails (a Get, or a Set after its Get showed a
// difference) and goes unreported: the message, no "Ok", the module's write
// stopped there but the other unit options still written, the LED lit again
// and the button enabled again for another try.
TEST_F(Write, FailedSetAfterADifferenceIsReported)
{
    SupplyConfig &e = editorRead();
    struct Case
    {
        const char *failing;
        int module; // where the reply fails; 0: any
        std::function<void()> edit;
        QPushButton *apply;
    };
    const Case cases[] = {
        {"SetFanFailPolarity", 0,
         [&] {
             QTest::mouseClick(e.optFanFail(e.optFanFail(0)->isChecked() ? 1 : 0), Qt::LeftButton);
         },
         e.cmdApply},
        {"SetProgrammingMode", 0,
         [&] {
             showModule(1);
             QTest::mouseClick(e.OptProgMode(e.OptProgMode(1)->isChecked() ? 2 : 1),
                               Qt::LeftButton);
         },
         e.cmdApplyCLM(0)},
        {"GetModuleGoodHighThreshold", 2,
         [&] {
             showModule(2);
             enterAndLeave(e.vsp(2), "11");
         },
         e.cmdApplyCLM(1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failing);
        c.edit();
        bus->failMethod(QString::fromLatin1(c.failing), "ERR_TIMEOUT", 1, c.module,
                        SimBusFaults::Count::Once);
        record();
        const int before = env.dialogs.count();
        QTest::mouseClick(c.apply, Qt::LeftButton);
        ASSERT_EQ(env.dialogs.count(), before + 1);
        const ScriptedDialogs::Shown &box = env.dialogs.shown.back();
        EXPECT_TRUE(box.text == FailureText && box.title == "Zelk Monitor" &&
                    box.icon == MsgIcon::Critical)
            << box.text.toStdString();
        const QStringList called = log->methodNames();
        const qsizetype failed = called.indexOf(QString::fromLatin1(c.failing));
        ASSERT_GE(failed, 0);
        // The other unit options are still written; the module's write stops there.
        EXPECT_EQ(called.mid(failed + 1),
                  c.apply == e.cmdApply
                      ? names("ClosePort OpenPort GetGlobalDCGoodPolarity GetOTFailPolarity "
                              "GetDefaultGroupState SetDefaultGlobalOutputPolarity "
                              "SetDefaultGlobalOutputState ClosePort")
                      : names("ClosePort"));
        EXPECT_FALSE(e.RichTextBox1->toPlainText().endsWith("Ok") || env.desktop.busy);
        EXPECT_TRUE(e.OstransTx->Status() == OstransLed::True && c.apply->isEnabled());
    }
}

// Catches a module setting that is written wrongly, to the wrong module or
// not at all: every field edited in the window shows the same after a new
// read of the unit.
TEST_F(Write, EditedModulesReadBackAsEntered)
{
    // Start-up settings are editable for modules of group 1 only.
    onBus([](ZelkDevice &d) {
        for (qint16 m = 1; m <= 5; ++m)
            d.SetGroupID("1", m, 1);
    });
    SupplyConfig &e = editorRead();
    using Mode = FieldRules::LimitMode;
    struct Wanted
    {
        Mode mode;
        bool enableReset;
        QString setpoint, high, low, current;
    };
    // Every module gets a mode other than its stored one (module 3: the
    // same latching mode without enable-reset). High limits stay within
    // what the unit measures, which is less than the editor's 12.5 % margin.
    const Wanted wanted[] = {
        {Mode::Hiccup, false, "2.5", "3.6", "1.2", "50"},
        {Mode::Latching, true, "12.5", "16.4", "4.4", "12"},
        {Mode::Latching, false, "20.4", "28", "8", "7.5"},
        {Mode::CurrentShare, false, "50.5", "58", "20", "6.5"},
        {Mode::Latching, true, "30.25", "63.5", "17.5", "6.5"},
    };
    const QString delay = "1234", resetTime = "4321";
    for (int m = 1; m <= 5; ++m) {
        const Wanted &w = wanted[m - 1];
        showModule(m);
        QCoreApplication::processEvents();
        onBox(e.OptProgMode(2 * m));
        onBox(e.optPolarity(2 * m));
        enterAndLeave(e.startupdelay(m), delay);
        onBox(e.optStartupState(2 * m));
        enterAndLeave(e.vsp(m), w.setpoint);
        enterAndLeave(e.ll(m), "0");
        enterAndLeave(e.hl(m), w.high);
        enterAndLeave(e.ll(m), w.low);
        onBox(e.optCurrentLimit(FieldRules::limitButton(m, w.mode)));
        QCoreApplication::processEvents();
        if (w.mode != Mode::CurrentShare) {
            enterAndLeave(e.CurrentLimit(m), w.current);
            enterAndLeave(e.cboxActivationTime(m), delay);
        }
        if (w.mode == Mode::Hiccup)
            enterAndLeave(e.cboxResetTime(m), resetTime);
        if (w.mode == Mode::Latching && e.EnableReset(m)->isChecked() != w.enableReset)
            onBox(e.EnableReset(m));
    }
    ASSERT_EQ(env.dialogs.texts(), QStringList());
    QTest::mouseClick(e.cmdSave, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.texts(), QStringList());
    for (int i = 0; i <= 4; ++i)
        EXPECT_FALSE(e.cmdApplyCLM(i)->isEnabled()) << i;

    env.dialogs.msgAnswers = {MsgResult::No};
    pickAndStart("1");
    ASSERT_EQ(env.dialogs.count(), 1); // the restart offer
    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        const Wanted &w = wanted[m - 1];
        EXPECT_EQ(flags(&QAbstractButton::isChecked, e.OptProgMode(2 * m), e.optPolarity(2 * m),
                        e.optStartupState(2 * m),
                        e.optCurrentLimit(FieldRules::limitButton(m, w.mode))),
                  "1111");
        EXPECT_EQ(texts(e.startupdelay(m), e.vsp(m), e.hl(m), e.ll(m)),
                  (QStringList{delay, w.setpoint, w.high, w.low}));
        if (w.mode == Mode::CurrentShare)
            continue;
        EXPECT_EQ((QStringList{e.CurrentLimit(m)->text(), e.cboxActivationTime(m)->currentText()}),
                  (QStringList{w.current, delay}));
        EXPECT_TRUE(w.mode == Mode::Hiccup ? e.cboxResetTime(m)->currentText() == resetTime
                                           : e.EnableReset(m)->isChecked() == w.enableReset);
    }
}
