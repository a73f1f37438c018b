// Writing the configuration to the unit: what is read back, what is written
// and when a write stops, checked on the device log and on the bus itself.
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
    all.removeAll(QStringLiteral("OpenPort"));
    all.removeAll(QStringLiteral("ClosePort"));
    return all;
}
} // namespace

// Catches unit options written although the unit holds them, a missing
// always-written setting, a group state other than 0, or no "Ok" line.
TEST_F(Write, UnitOptionsAreWrittenOnlyWhereTheyDiffer)
{
    onBus([](ZelkDevice &d) { d.SetDefaultGroupState(QStringLiteral("1"), 1); });
    SupplyConfig &e = editorRead();
    record();
    e.cmdApply_Click();
    EXPECT_EQ(log->methodNames(),
              names("OpenPort GetFanFailPolarity GetGlobalDCGoodPolarity GetOTFailPolarity "
                    "GetDefaultGroupState SetDefaultGroupState SetDefaultGlobalOutputPolarity "
                    "SetDefaultGlobalOutputState ClosePort"));
    EXPECT_EQ(argumentsOf(*log, QStringLiteral("SetDefaultGroupState")).last(),
              QStringLiteral("0"));
    EXPECT_TRUE(e.RichTextBox1->toPlainText().endsWith(
        QStringLiteral("\nWriting into Zelk Eeprom.......Ok")));
    EXPECT_TRUE(EditorState::ChangesWritten);
    EXPECT_EQ(e.OstransTx->Blinking(), OstransLed::False);
    EXPECT_EQ(env.dialogs.count(), 0);

    // Now the group state agrees; a changed fan-fail polarity is the one Set.
    QTest::mouseClick(e.optFanFail(1), Qt::LeftButton); // demo unit: index 0
    record();
    QTest::mouseClick(e.cmdApply, Qt::LeftButton);
    EXPECT_EQ(inner(*log), names("GetFanFailPolarity SetFanFailPolarity GetGlobalDCGoodPolarity "
                                 "GetOTFailPolarity GetDefaultGroupState "
                                 "SetDefaultGlobalOutputPolarity SetDefaultGlobalOutputState"));
    EXPECT_EQ(argumentsOf(*log, QStringLiteral("SetFanFailPolarity")).last(), QStringLiteral("0"));
    EXPECT_FALSE(e.cmdApply->isEnabled());
}

// Catches module settings written although unchanged, a set-point of 0
// written, or a set-point above 0.009 V skipped because the unit holds it.
TEST_F(Write, ModuleWriteReadsBackAndAlwaysWritesTheSetpoint)
{
    SupplyConfig &e = editorRead();
    record();
    e.cmdApplyCLM_Click(1); // module 2, stored as Hiccup
    EXPECT_EQ(inner(*log),
              names("GetProgrammingMode GetDefaultOutputOnOffPolarity GetDefaultOutputOnOffState "
                    "GetOutputTurnONDelayExUShort SetDefaultOutputVoltage "
                    "GetModuleGoodHighThreshold GetModuleGoodLowThreshold GetCurrentLimitMode "
                    "GetCurrentLimit GetCurrentLimitMode GetCurrentLimitONTimeExUShort "
                    "GetCurrentLimitOFFTimeExUShort"));
    EXPECT_EQ(argumentsOf(*log, QStringLiteral("SetDefaultOutputVoltage")).last(),
              QStringLiteral("12000"));
    EXPECT_TRUE(e.RichTextBox1->toPlainText().endsWith(QStringLiteral("Eeprom.......Ok")));
    EXPECT_TRUE(EditorState::ChangesWritten);

    // 0 means "not set" and is not sent; 0.01 is sent and so checked: out of range.
    for (const auto &[text, written] :
         {std::pair{QStringLiteral("0"), false}, std::pair{QStringLiteral("0.009"), false},
          std::pair{QStringLiteral("5"), true}, std::pair{QStringLiteral("0.01"), false}}) {
        e.vsp(2)->setText(text);
        record();
        e.cmdApplyCLM_Click(1);
        const QStringList args = argumentsOf(*log, QStringLiteral("SetDefaultOutputVoltage"));
        EXPECT_EQ(args.value(2), written ? QStringLiteral("5000") : QString())
            << text.toStdString();
    }
    EXPECT_EQ(
        env.dialogs.texts(),
        QStringList{QStringLiteral("0.01 is out of range, please enter value between 5 and 15")});
}

// Catches a value sent although it is out of its module's range or its raw
// form does not fit 16 bits, or a type without a voltage scale factor whose
// volts are sent as 0. A refused value stops the whole module.
TEST_F(Write, UnwritableValuesAreRefusedWithoutADeviceCall)
{
    // Module 2's type counts 3000 per volt: 12 V would be 36000.
    QByteArray scale = env.readFile(QStringLiteral("scale.ini"));
    const qsizetype type2 = scale.indexOf("[TYPE2]");
    const qsizetype factor = scale.indexOf("VoltageScaleFactor=1000", type2);
    ASSERT_GT(factor, type2);
    scale.replace(factor, 23, "VoltageScaleFactor=3000");
    env.writeFile(QStringLiteral("scale.ini"), scale);
    SupplyConfig &e = editorRead();
    showModule(2);
    QTest::mouseClick(e.cmdPreset(2), Qt::LeftButton); // the stored limits read as 4.2 V and less
    // Out of range, set behind the field's check; then typed within range
    // but beyond what the unit holds.
    const std::function<void(const QString &)> enter[] = {
        [&](const QString &text) { e.vsp(2)->setText(text); },
        [&](const QString &text) {
            enterAndLeave(e.vsp(2), text);
        }};
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("40"),
         QStringLiteral("40 is out of range, please enter value between 5 and 15")},
        {QStringLiteral("12"),
         QStringLiteral("Module 2: the voltage set-point 12 was not written: with the module's "
                        "scale factor 3000 it would be 36000, and the unit holds -32768 to "
                        "32767.")}};
    for (int i = 0; i < 2; ++i) {
        enter[i](cases[i].first);
        record();
        const int before = env.dialogs.count();
        QTest::mouseClick(e.cmdApplyCLM(1), Qt::LeftButton);
        ASSERT_EQ(env.dialogs.count(), before + 1);
        EXPECT_EQ(env.dialogs.shown.back().text, cases[i].second);
        EXPECT_TRUE(log->calls().empty()) << log->callTexts().join('\n').toStdString();
        EXPECT_TRUE(e.cmdApplyCLM(1)->isEnabled());
        EXPECT_TRUE(QTest::qWaitFor([&] { return e.vsp(2)->hasFocus(); }, 2000));
    }

    e.moduleRatings(2).VoltageScaleFactor = 0;
    enterAndLeave(e.vsp(2), QStringLiteral("12"));
    record();
    e.cmdApplyCLM_Click(1);
    EXPECT_TRUE(env.dialogs.shown.back().text.contains(QStringLiteral("no voltage scale factor")));
    for (const char *method :
         {"SetDefaultOutputVoltage", "GetModuleGoodHighThreshold", "GetModuleGoodLowThreshold"})
        EXPECT_TRUE(argumentsOf(*log, QString::fromLatin1(method)).isEmpty()) << method;
    EXPECT_FALSE(argumentsOf(*log, QStringLiteral("GetCurrentLimitMode")).isEmpty());
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
             enterAndLeave(e.vsp(2), QStringLiteral("11"));
         },
         e.cmdApplyCLM(1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failing);
        c.edit();
        bus->failMethod(QString::fromLatin1(c.failing), QStringLiteral("ERR_TIMEOUT"), 1, c.module,
                        SimBusFaults::Count::Once);
        record();
        const int before = env.dialogs.count();
        QTest::mouseClick(c.apply, Qt::LeftButton);
        ASSERT_EQ(env.dialogs.count(), before + 1);
        EXPECT_EQ(env.dialogs.shown.back().text, FailureText);
        EXPECT_EQ(env.dialogs.shown.back().title, QStringLiteral("Zelk Monitor"));
        EXPECT_EQ(env.dialogs.shown.back().icon, MsgIcon::Critical);
        const QStringList called = log->methodNames();
        const qsizetype failed = called.indexOf(QString::fromLatin1(c.failing));
        ASSERT_GE(failed, 0);
        if (c.apply == e.cmdApply) { // the other unit options are still written
            EXPECT_EQ(called.mid(failed + 1),
                      names("ClosePort OpenPort GetGlobalDCGoodPolarity GetOTFailPolarity "
                            "GetDefaultGroupState SetDefaultGlobalOutputPolarity "
                            "SetDefaultGlobalOutputState ClosePort"));
        } else { // the module's write stops there
            EXPECT_EQ(called.mid(failed + 1), names("ClosePort"));
        }
        EXPECT_FALSE(e.RichTextBox1->toPlainText().endsWith(QStringLiteral("Ok")));
        EXPECT_EQ(e.OstransTx->Status(), OstransLed::True);
        EXPECT_FALSE(env.desktop.busy);
        EXPECT_TRUE(c.apply->isEnabled());
    }
}

// Catches a restart that leaves the outputs off when the unit's default is
// on, or switches them on when its remote input would hold them off.
TEST_F(Write, RestartFollowsTheGlobalOptions)
{
    SupplyConfig &e = editorRead();
    record();
    e.optGlobal(0)->setChecked(true);
    e.optGlobalOnOff(0)->setChecked(true);
    e.RestartUnit();
    EXPECT_EQ(log->callTexts(), (QStringList{QStringLiteral("OpenPort(\"COM1\") -> CMD_OK"),
                                             QStringLiteral("SetGlobalOutputState(1, 0) -> CMD_OK"),
                                             QStringLiteral("SetGlobalOutputState(1, 1) -> CMD_OK"),
                                             QStringLiteral("ClosePort() -> CMD_OK")}));
    e.optGlobalOnOff(1)->setChecked(true);
    record();
    e.RestartUnit();
    EXPECT_EQ(inner(*log), names("SetGlobalOutputState"));
    EXPECT_EQ(argumentsOf(*log, QStringLiteral("SetGlobalOutputState")).last(),
              QStringLiteral("0"));
}

// Catches a module setting that is written wrongly, to the wrong module or
// not at all: every field edited in the window shows the same after a new
// read of the unit.
TEST_F(Write, EditedModulesReadBackAsEntered)
{
    // Start-up settings are editable for modules of group 1 only.
    onBus([](ZelkDevice &d) {
        for (qint16 m = 1; m <= 5; ++m)
            d.SetGroupID(QStringLiteral("1"), m, 1);
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
    const QString delay = QStringLiteral("1234"), resetTime = QStringLiteral("4321");
    for (int m = 1; m <= 5; ++m) {
        const Wanted &w = wanted[m - 1];
        showModule(m);
        QCoreApplication::processEvents();
        onBox(e.OptProgMode(2 * m));
        onBox(e.optPolarity(2 * m));
        enterAndLeave(e.startupdelay(m), delay);
        onBox(e.optStartupState(2 * m));
        enterAndLeave(e.vsp(m), w.setpoint);
        enterAndLeave(e.ll(m), QStringLiteral("0"));
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
    ASSERT_EQ(env.dialogs.count(), 0) << env.dialogs.texts().join(QLatin1Char('\n')).toStdString();
    QTest::mouseClick(e.cmdSave, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.count(), 0) << env.dialogs.texts().join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i <= 4; ++i)
        EXPECT_FALSE(e.cmdApplyCLM(i)->isEnabled()) << i;

    env.dialogs.msgAnswers = {MsgResult::No};
    pickAndStart(QStringLiteral("1"));
    ASSERT_EQ(env.dialogs.count(), 1); // the restart offer
    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        const Wanted &w = wanted[m - 1];
        for (QRadioButton *second :
             {e.OptProgMode(2 * m), e.optPolarity(2 * m), e.optStartupState(2 * m),
              e.optCurrentLimit(FieldRules::limitButton(m, w.mode))})
            EXPECT_TRUE(second->isChecked()) << second->objectName().toStdString();
        EXPECT_EQ(e.startupdelay(m)->text(), delay);
        EXPECT_EQ(e.vsp(m)->text(), w.setpoint);
        EXPECT_EQ(e.hl(m)->text(), w.high);
        EXPECT_EQ(e.ll(m)->text(), w.low);
        if (w.mode == Mode::CurrentShare)
            continue;
        EXPECT_EQ(e.CurrentLimit(m)->text(), w.current);
        EXPECT_EQ(e.cboxActivationTime(m)->currentText(), delay);
        if (w.mode == Mode::Hiccup) {
            EXPECT_EQ(e.cboxResetTime(m)->currentText(), resetTime);
        } else {
            EXPECT_EQ(e.EnableReset(m)->isChecked(), w.enableReset);
        }
    }
}
