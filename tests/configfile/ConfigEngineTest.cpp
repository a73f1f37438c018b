// The configuration engine against the simulated bus: diff, checks, apply, verify, clone.
#include "BusFixture.h"
#include "configfile/ConfigFileContents.h"
#include "configfile/ConfigPlan.h"
#include "configfile/ConfigSession.h"

static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace CS = ConfigSetting;
using CS::Id;

namespace {

struct Change
{
    int module;
    Id id;
};

QStringList setCalls(const RecordingDevice &rec, int module = -1)
{
    QStringList list;
    for (const RecordingDevice::Call &c : rec.calls()) {
        if (!c.method.startsWith(QLatin1String("Set")))
            continue;
        // Module calls carry the module as their second argument.
        if (module >= 0 && (c.arguments.size() < 3 || c.arguments.at(1) != QString::number(module)))
            continue;
        list << c.method;
    }
    return list;
}

QList<std::pair<int, Id>> writeRows(const ConfigPlan &plan)
{
    QList<std::pair<int, Id>> rows;
    for (int i : plan.writable())
        rows << std::pair{plan.rows.at(i).module, *plan.rows.at(i).setting};
    return rows;
}

} // namespace

class ConfigEngineTest : public BusFixture
{
protected:
    // The whole bus saved as the editor saves it, then parsed back.
    ConfigFileContents saveAll()
    {
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        const ConfigSession::SaveResult saved = session.save(env.path("bus.txt"), {});
        EXPECT_TRUE(saved.written);
        EXPECT_EQ(saved.saved, (QList<int>{1, 3, 5, 7})) << saved.failures.join(" ").toStdString();
        return ConfigFileContents::parse(env.readFile("bus.txt"));
    }
    std::optional<ConfigPlan> diff(const ConfigFileContents &file, int section, int unit)
    {
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        QString error;
        auto plan = session.diff(*file.unit(section), unit, &error);
        EXPECT_TRUE(plan) << error.toStdString();
        return plan;
    }
};

// Catches a diff that invents or hides differences, or compares values as
// shown (a set-point one count off the file's, 12.001 V against 12 V, which
// the editor shows alike, differs); an apply that writes what did not differ,
// and a verify that reads a cache instead of the unit.
TEST_F(ConfigEngineTest, RoundTripRestoresExactlyWhatChanged)
{
    // 12.005 A is saved as its five characters, "12.00": no difference for all that.
    EXPECT_EQ(openBus().SetCurrentLimit("1", 2, 2401), CmdOk);
    bus->ClosePort();
    const ConfigFileContents file = saveAll();
    ASSERT_TRUE(file.issues().isEmpty()) << file.issues().first().message.toStdString();
    ASSERT_EQ(file.unit(1)->module(2).value("CurrentLimit")->text, "12.00");
    // A saved file holds all of every unit: nothing differs yet.
    for (int unit : {1, 3, 5, 7}) {
        const auto plan = diff(file, unit, unit);
        ASSERT_TRUE(plan);
        EXPECT_TRUE(plan->writable().isEmpty())
            << unit << " " << plan->rows.value(plan->writable().value(0)).name().toStdString();
        EXPECT_FALSE(plan->refused());
    }

    SimulatedBus &b = openBus();
    qint16 fanFail = 0;
    EXPECT_EQ(b.GetFanFailPolarity("1", fanFail), CmdOk);
    EXPECT_EQ(b.SetFanFailPolarity("1", qint16(1 - fanFail)), CmdOk);
    EXPECT_EQ(b.SetDefaultOutputVoltage("1", 2, 12001), CmdOk);
    EXPECT_EQ(b.SetCurrentLimit("1", 3, 2000), CmdOk);
    EXPECT_EQ(b.SetCurrentLimitMode("1", 3, 2, 0), CmdOk);
    EXPECT_EQ(b.SetOutputTurnONDelayExUShort("1", 5, 900), CmdOk);
    b.ClosePort();

    const auto plan = diff(file, 1, 1);
    ASSERT_TRUE(plan);
    const QList<std::pair<int, Id>> expected = {{0, Id::FanFail},
                                                {2, Id::Setpoint},
                                                {3, Id::LimitMode},
                                                {3, Id::CurrentLimit},
                                                {5, Id::StartUpDelay}};
    EXPECT_EQ(writeRows(*plan), expected);
    const ConfigPlan::Row &setpoint = plan->rows.at(plan->writable().at(1));
    EXPECT_EQ(setpoint.unitText + " / " + setpoint.fileText, "12.001 V / 12 V");

    RecordingDevice &rec = record();
    ConfigSession session(rec, ZelkGlobals::ComPort);
    const ConfigSession::ApplyResult result = session.apply(*plan, plan->writable());
    EXPECT_EQ(result.outcome, ConfigSession::Outcome::Done) << result.failure.toStdString();
    EXPECT_TRUE(result.verified);
    // Five settings, the mode again after the current limit, then one read each.
    // Nothing else, and never an output switched.
    EXPECT_EQ(setCalls(rec), (QStringList{"SetFanFailPolarity", "SetDefaultOutputVoltage",
                                          "SetCurrentLimitMode", "SetCurrentLimit",
                                          "SetCurrentLimitMode", "SetOutputTurnONDelayExUShort"}));
    EXPECT_EQ(session.counts.verifyReads, 5);
    EXPECT_TRUE(result.wroteModules && result.wroteUnit);

    rec.clear();
    const ConfigSession::UnitSummary again = session.applyTo(*file.unit(1), 1, false, true);
    EXPECT_EQ(again.outcome, ConfigSession::Outcome::Done);
    EXPECT_EQ(again.differences, 0);
    EXPECT_TRUE(setCalls(rec).isEmpty()) << setCalls(rec).join(' ').toStdString();
}

// Catches a verify that trusts the write's reply, and outcomes ranked
// otherwise than a silent unit over a refusal over a verify difference.
TEST_F(ConfigEngineTest, UnitThatIgnoresAWriteFailsTheVerify)
{
    const ConfigFileContents file = saveAll();
    SimulatedBus &b = openBus();
    EXPECT_EQ(b.SetDefaultOutputOnOffState("1", 4, 0), CmdOk);
    qint16 overTemp = 0;
    EXPECT_EQ(b.GetOTFailPolarity("1", overTemp), CmdOk);
    EXPECT_EQ(b.SetOTFailPolarity("1", qint16(1 - overTemp)), CmdOk);
    b.ClosePort();
    bus->failMethod("SetDefaultOutputOnOffState", CmdOk, 1, 4);

    ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
    const ConfigSession::UnitSummary s = session.applyTo(*file.unit(1), 1, false, true);
    EXPECT_EQ(s.outcome, ConfigSession::Outcome::VerifyDiffers);
    EXPECT_EQ(ConfigSession::exitCode(s.outcome), 3);
    EXPECT_EQ(s.writes, 2);
    EXPECT_EQ(s.verifyFailures, 1);
    const auto bad = std::find_if(s.result.written.begin(), s.result.written.end(),
                                  [](const auto &w) { return w.written && !w.verified; });
    ASSERT_NE(bad, s.result.written.end());
    EXPECT_EQ(bad->module, 4);
    EXPECT_EQ(bad->setting, Id::StartUpState);
    EXPECT_EQ(bad->text, "verify: the unit holds Normally Off, not Normally On");
    EXPECT_TRUE(s.text.contains("verify found 1 difference")) << s.text.toStdString();
    EXPECT_EQ(ConfigSession::worse(ConfigSession::Outcome::VerifyDiffers,
                                   ConfigSession::Outcome::Refused),
              ConfigSession::Outcome::Refused);
    EXPECT_EQ(
        ConfigSession::worse(ConfigSession::Outcome::DeviceError, ConfigSession::Outcome::Refused),
        ConfigSession::Outcome::DeviceError);
}

// Catches a refused value that still writes part of its module, or a
// refusal that stops the other modules.
TEST_F(ConfigEngineTest, RefusedValuesWriteNothingToTheirModule)
{
    saveAll();
    const struct
    {
        const char *what;
        int module;
        const char *key, *value, *message;
    } cases[] = {
        {"above the rating", 2, "OutputVoltageSetpoint", "16",
         "OutputVoltageSetpoint=16 (line 38): 16 is out of range, please enter value between 5 "
         "and 15"},
        {"16-bit overflow", 2, "OutputVoltageSetpoint", "40",
         "it would be 40000 in the unit, which holds -32768 to 32767"},
        {"module type", 3, "ModuleCode", "ZM 48V/8A", "the unit's module 3 is a ZM 24V/15A"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray bytes = env.readFile("bus.txt");
        const int at = bytes.indexOf("[PS1MODULE" + QByteArray::number(c.module) + "]");
        const int key = bytes.indexOf(QByteArray("\r\n") + c.key + "=", at) + 2;
        bytes.replace(key, bytes.indexOf("\r\n", key) - key, QByteArray(c.key) + "=" + c.value);
        // The module differs in another setting too, and so does module 5.
        SimulatedBus &b = openBus();
        EXPECT_EQ(b.SetOutputTurnONDelayExUShort("1", 5, 900), CmdOk);
        EXPECT_EQ(b.SetOutputTurnONDelayExUShort("1", qint16(c.module), 777), CmdOk);
        b.ClosePort();

        const ConfigFileContents file = ConfigFileContents::parse(bytes);
        RecordingDevice &rec = record();
        rec.clear();
        ConfigSession session(rec, ZelkGlobals::ComPort);
        const ConfigSession::UnitSummary s = session.applyTo(*file.unit(1), 1, false, true);
        EXPECT_EQ(s.outcome, ConfigSession::Outcome::Refused);
        ASSERT_TRUE(s.plan);
        const auto refused =
            std::find_if(s.plan->rows.begin(), s.plan->rows.end(), [](const ConfigPlan::Row &r) {
                return r.kind == ConfigPlan::Kind::Refused;
            });
        ASSERT_NE(refused, s.plan->rows.end());
        EXPECT_EQ(refused->module, c.module);
        EXPECT_TRUE(refused->message.contains(QLatin1String(c.message)))
            << refused->message.toStdString();
        EXPECT_TRUE(setCalls(rec, c.module).isEmpty());
        EXPECT_EQ(setCalls(rec, 5), QStringList{"SetOutputTurnONDelayExUShort"});
    }
}

// Catches hand edits that crash, pass silently or lose their line number.
TEST_F(ConfigEngineTest, HandEditedFilesAreReportedByKeyAndLine)
{
    qint16 fanFail = 0;
    EXPECT_EQ(openBus().GetFanFailPolarity("3", fanFail), CmdOk);
    bus->ClosePort();
    // Lines 3 and 12 are issues, 8 is refused, 10 and 12 repeat a section.
    const QByteArray text = "[PS3]\r\nFanFail=" + QByteArray::number(1 - fanFail) +
                            "\r\nColour=blue\r\nMODULES=10100000\r\n[PS3MODULE1]\r\n"
                            "ModuleCode=ZM 12V/30A\r\nOutputVoltageSetpoint=5,2\r\n"
                            "StartUpDelay=2O0\r\nCurrentLimitMode=Normal\r\n[PS3MODULE3]\r\n"
                            "StartUpDelay=100\r\n[PS3MODULE3]\r\nStartUpDelay=200\r\n";
    const ConfigFileContents file = ConfigFileContents::parse(text);
    ASSERT_EQ(file.units(), QList<int>{3});
    ASSERT_EQ(file.issues().size(), 2);
    EXPECT_EQ(file.issues().at(0).line, 3);
    EXPECT_EQ(file.issues().at(0).key, "Colour");
    EXPECT_EQ(file.issues().at(1).line, 12);

    const auto plan = diff(file, 3, 3);
    ASSERT_TRUE(plan);
    const auto row = [&](int module, const QString &key) -> const ConfigPlan::Row * {
        for (const ConfigPlan::Row &r : plan->rows)
            if (r.module == module && r.key == key)
                return &r;
        return nullptr;
    };
    const ConfigPlan::Row *bad = row(1, "StartUpDelay");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->kind, ConfigPlan::Kind::Refused);
    EXPECT_TRUE(bad->message.startsWith("StartUpDelay=2O0 (line 8): "))
        << bad->message.toStdString();
    const ConfigPlan::Row *missing = row(0, "GlobalDC");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->kind, ConfigPlan::Kind::Info);
    EXPECT_EQ(missing->message, "GlobalDC is missing in [PS3]: the unit's value stays");
    // "5,2" from a machine with a decimal comma is the unit's own 5.2 V.
    EXPECT_FALSE(row(1, "OutputVoltageSetpoint"));
    const ConfigPlan::Row *twice = row(3, {});
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->kind, ConfigPlan::Kind::Refused);
    EXPECT_TRUE(twice->message.contains("lines 10 and 12")) << twice->message.toStdString();

    // Nothing of a refused module goes out; the unit's own option does.
    RecordingDevice &rec = record();
    ConfigSession session(rec, ZelkGlobals::ComPort);
    EXPECT_EQ(session.apply(*plan, plan->writable()).outcome, ConfigSession::Outcome::Done);
    EXPECT_EQ(setCalls(rec), QStringList{"SetFanFailPolarity"});
}

// Catches a module-good limit checked against nothing where the file leaves
// the other out: a high limit below the unit's low one (3.135 V), or a low
// one above its high one (3.465 V), is refused by the diff itself (apply's
// pair check would stop the write alone) and nothing is written.
TEST_F(ConfigEngineTest, ALimitAloneIsCheckedAgainstTheUnitsOtherLimit)
{
    for (const char *limit : {"VoltageHighLimit=3100", "VoltageLowLimit=3500"}) {
        SCOPED_TRACE(limit);
        const ConfigFileContents file = ConfigFileContents::parse(
            QByteArray("[PS1]\r\nSerialNumber=ZX5-21A0117\r\n[PS1MODULE1]\r\n"
                       "ModuleCode=ZM 3.3V/100A\r\n") +
            limit + "\r\n");
        RecordingDevice &rec = record();
        rec.clear();
        ConfigSession session(rec, ZelkGlobals::ComPort);
        const ConfigSession::UnitSummary s = session.applyTo(*file.unit(1), 1, false, true);
        EXPECT_EQ(std::pair(s.outcome, s.refused), std::pair(ConfigSession::Outcome::Refused, 1))
            << s.text.toStdString();
        EXPECT_TRUE(setCalls(rec).isEmpty());
    }
}

// Catches a byte-order mark read as text before the first section, and a
// file of endless unknown keys kept issue by issue.
TEST(ConfigFileContentsTest, ByteOrderMarkAndEndlessIssues)
{
    QByteArray text = "\xEF\xBB\xBF[PS3]\r\nFanFail=1\r\n";
    for (int i = 0; i < ConfigFileContents::MaxIssues + 500; ++i)
        text += "Unknown" + QByteArray::number(i) + "=1\r\n";
    const ConfigFileContents file = ConfigFileContents::parse(text);
    ASSERT_EQ(file.units(), QList<int>{3});
    EXPECT_TRUE(file.unit(3)->unit.value(QStringLiteral("FanFail")));
    EXPECT_EQ(file.issues().size(), ConfigFileContents::MaxIssues);
    EXPECT_EQ(file.issuesLeftOut(3), 500);
}
