// Test plan files: the plan read, every refusal with its line and reason,
// the limits on a plan; and the report files a run writes (JUnit XML, CSV,
// JSON) as their readers take them.
#include "../cli/ProgramRun.h"
#include "plans/PlanReader.h"
#include "plans/PlanReport.h"
#include "plans/PlanRunner.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <string_view>

#include <gtest/gtest.h>

// Named: the folder's tests are compiled as one unit, anonymous namespaces and all.
namespace planfilestest {

QString firstIssue(const PlanReader::Result &r)
{
    return r.issues.isEmpty()
               ? QString()
               : QStringLiteral("line %1: %2").arg(r.issues[0].line).arg(r.issues[0].reason);
}

// The one issue, as firstIssue gives it; a count when there are others.
QString onlyIssue(const PlanReader::Result &r)
{
    return r.issues.size() == 1 ? firstIssue(r) : QStringLiteral("%1 issues").arg(r.issues.size());
}

void flatten(const std::vector<PlanStep> &steps, QList<int> &lines)
{
    for (const PlanStep &s : steps) {
        lines << s.line;
        flatten(s.body, lines);
    }
}

// The shipped plan reads without an issue, every statement as written (the
// plan written back gives the file's statements), and each step keeps its line.
TEST(PlanReader, ShippedBurnInPlan)
{
    const QString path = QStringLiteral(ZELK_PLANS_DIR "/plans/burn-in.plan");
    const PlanReader::Result r = PlanReader::read(path);
    ASSERT_TRUE(r.plan) << firstIssue(r).toStdString();
    const TestPlan &plan = *r.plan;
    EXPECT_EQ(plan.path, QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(plan.name, QStringLiteral("Burn-in, five-module unit"));
    EXPECT_TRUE(plan.stopOnFail);
    EXPECT_EQ(plan.stopOnAlarms, (QList<PlanAlarm>{PlanAlarm::OverTemp, PlanAlarm::FanFail,
                                                   PlanAlarm::AcFail, PlanAlarm::DcGood}));
    EXPECT_EQ(plan.pollMs, 500);
    EXPECT_TRUE(plan.explicitFinally);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList fileLines = QString::fromUtf8(file.readAll()).split(u'\n');
    QStringList statements;
    QList<int> stepLines;
    for (int i = 0; i < fileLines.size(); ++i) {
        QString code = fileLines[i].section(u'#', 0, 0);
        while (code.endsWith(u' '))
            code.chop(1);
        if (code.isEmpty())
            continue;
        statements << code;
        const QString word = code.trimmed().section(u' ', 0, 0);
        if (!QStringList{"plan", "stop-on-fail", "stop-on-alarm", "poll", "end", "finally"}
                 .contains(word))
            stepLines << i + 1;
    }
    EXPECT_EQ(QString::fromUtf8(PlanReader::toText(plan)).split(u'\n', Qt::SkipEmptyParts),
              statements);
    QList<int> lines;
    flatten(plan.steps, lines);
    flatten(plan.finallySteps, lines);
    EXPECT_EQ(lines, stepLines);

    // Values in volts, amperes, percent and milliseconds, not as written.
    const auto find = [](const std::vector<PlanStep> &in, PlanStep::Kind kind, int module = 0) {
        const auto at = std::find_if(in.begin(), in.end(), [&](const PlanStep &s) {
            return s.kind == kind && s.module == module;
        });
        return at == in.end() ? PlanStep() : *at;
    };
    const PlanStep cycle = find(plan.steps, PlanStep::Kind::Repeat);
    const PlanStep ramp = find(cycle.body, PlanStep::Kind::Ramp, 2);
    const PlanStep tolerance = find(plan.steps, PlanStep::Kind::CheckVoltage, 2);
    EXPECT_EQ(tolerance.toleranceKind, PlanStep::Tolerance::Percent);
    EXPECT_EQ(
        (QList<double>{double(cycle.count), double(ramp.dwellMs), ramp.step, tolerance.tolerance,
                       double(find(cycle.body, PlanStep::Kind::Hold).durationMs)}),
        (QList<double>{3, 200, 0.1, 1, 10000}));
}

struct BadPlan
{
    std::string_view text;
    int line;
    const char *reason; // a piece of it
};

void PrintTo(const BadPlan &bad, std::ostream *os)
{
    *os << '"' << bad.text << '"';
}

class PlanReaderRefuses : public testing::TestWithParam<BadPlan>
{
};

TEST_P(PlanReaderRefuses, SaysLineAndReason)
{
    const BadPlan bad = GetParam();
    const PlanReader::Result r =
        PlanReader::parse(QByteArray(bad.text.data(), qsizetype(bad.text.size())));
    EXPECT_FALSE(r.plan);
    ASSERT_FALSE(r.issues.isEmpty());
    const bool found = std::any_of(r.issues.begin(), r.issues.end(), [&](const PlanIssue &i) {
        return i.line == bad.line && i.reason.contains(QString::fromUtf8(bad.reason));
    });
    EXPECT_TRUE(found) << "got " << firstIssue(r).toStdString();
}

using namespace std::string_view_literals;

const BadPlan BadPlans[] = {
    {"hold 1s\nsetpoint 1 12\n", 2, "\"12\" has no unit: write volts as 12V"},
    {"setpoint 6 5V", 1, "\"6\" is not a module: modules are numbered 1 to 5"},
    {"setpoint 1 5A", 1, "\"5A\" is not volts"},
    {"setpoint 1 12,5V", 1, "write 12.5V"},
    {"setpoint 1 12 V", 1, "straight after the number: 12V"},
    {"setpoint 1 -5V", 1, "negative"},
    {"setpoint 1", 1, "a value is missing: write setpoint MODULE VOLTS"},
    {"global on off", 1, "extra value \"off\""},
    {"output 1 yes", 1, "write on or off"},
    {"Setpoint 1 5V", 1, "lower-case: write setpoint"},
    {"frobnicate 3", 1, "\"frobnicate\" is not a statement"},
    {"hold 0ms", 1, "out of range: a hold is 1ms to 24h"},
    {"hold 1441min", 1, "out of range"},
    {"hold 2h", 1, "write 120min"},
    {"setpoint 1 500mV", 1, "write 0.5V"},
    {"hold 5sec", 1, "\"5sec\" is not a duration: write a duration as 5ms, 5s or 5min"},
    {"hold 0.5ms", 1, "whole milliseconds"},
    {"hold 1s\r\nhold 2\r\n", 2, "has no unit: write a duration as 2ms"},
    {"poll 50ms\nhold 1s", 1, "poll from 100ms to 60s"},
    {"stop-on-alarm over-temp smoke\nhold 1s", 1, "\"smoke\" is not an alarm"},
    {"plan A\nplan B\nhold 1s", 2, "given twice"},
    {"hold 1s\n\n# late\n  poll 1s\n", 4, "after the first step (line 1)"},
    {"ramp 1 3V to 5V step 0V dwell 1s", 1, "more than 0V"},
    {"ramp 1 3V up 5V step 1V dwell 1s", 1, "\"up\" where \"to\" belongs"},
    {"check voltage 1 within 0V", 1, "tolerance of 0"},
    {"check voltage 1 within 2A", 1, "is not a tolerance"},
    {"check current 1 between 2A and 1A", 1, "low limit 2A is above the high limit 1A"},
    {"check temperature 1", 1, "not a check"},
    {"check", 1, "check what?"},
    {"repeat 0\nhold 1s\nend", 1, "repeat 1 to 10000 times"},
    {"repeat 10001\nhold 1s\nend", 1, "out of range"},
    {"repeat 2\nhold 1s\n", 1, "no end"},
    {"repeat 2\nend", 1, "holds no step"},
    {"hold 1s\nend", 2, "end without a repeat or finally"},
    {"hold 1s\nfinally\nhold 1s\nend", 3, "only setpoint, output and global"},
    {"hold 1s\nfinally\nend\nfinally\nend", 4, "a second finally block"},
    {"repeat 2\nfinally\nend\nhold 1s\nend", 2, "outside any repeat"},
    {"repeat 2\nrepeat 2\nrepeat 2\nrepeat 2\nrepeat 2\nrepeat 2\nrepeat 2\nrepeat 2\n"
     "repeat 2\nhold 1s\nend\nend\nend\nend\nend\nend\nend\nend\nend",
     9, "at most 8 deep"},
    {"# only a comment\n\n", 0, "no step"},
    // Limits on the whole run: a ramp whose step lost its decimal point, and
    // repeats that multiply past the limits.
    {"hold 1s\nramp 1 1V to 3V step 0.00001V dwell 1ms", 2, "never ends"},
    {"repeat 1000\nrepeat 101\ncheck good 1\nend\nend", 1, "101000 actions"},
    {"repeat 8\nhold 1440min\nend", 1, "waits add up to 8.0 days"},
    {"hold 1s\nplan ok\0 1s"sv, 2, "binary"},
    {"plan \xC0\x80", 1, "binary"},
};

INSTANTIATE_TEST_SUITE_P(BadPlans, PlanReaderRefuses, testing::ValuesIn(BadPlans));

// Catches issues left out or out of line order, an unbounded list for a file
// of nonsense, a plan without a name not named after its file (a BOM and
// all), and the defaults of the poll and the finally block.
TEST(PlanReader, SaysEveryIssueInLineOrderAndNamesByTheFile)
{
    const auto r = PlanReader::parse("repeat 2\nsetpoint 9 5V\nhold 1x\n");
    EXPECT_FALSE(r.plan);
    QList<int> lines;
    for (const PlanIssue &i : r.issues)
        lines << i.line;
    EXPECT_EQ(lines, (QList<int>{1, 2, 3})) << firstIssue(r).toStdString();

    // A file of nonsense gives a bounded list that says what it left out.
    const auto junk = PlanReader::parse(QByteArray("bogus\n").repeated(2000));
    ASSERT_EQ(junk.issues.size(), PlanReader::MaxIssues + 1);
    EXPECT_EQ(junk.issues.back().reason, QStringLiteral("1000 more issues not listed"));

    const auto named =
        PlanReader::parse("\xEF\xBB\xBFhold 1.5s\n", QStringLiteral("/line/smoke.v2.plan"));
    ASSERT_TRUE(named.plan) << firstIssue(named).toStdString();
    EXPECT_EQ(named.plan->name, QStringLiteral("smoke.v2"));
    EXPECT_EQ(named.plan->pollMs, 1000);
    EXPECT_EQ(named.plan->steps.at(0).durationMs, 1500);
    EXPECT_FALSE(named.plan->explicitFinally);
}

TEST(PlanReader, Limits)
{
    // Characters, not bytes: a long name in a two-byte script still fits.
    const QByteArray longName = "plan " + QByteArray("\xC3\xA9").repeated(4091) + "\nhold 1s";
    EXPECT_TRUE(PlanReader::parse(longName).plan);
    const QString longLine = onlyIssue(PlanReader::parse("hold 1s\nplan " + QByteArray(4092, 'x')));
    EXPECT_TRUE(longLine.startsWith("line 2: ") && longLine.contains("4097 characters"))
        << longLine.toStdString();

    // A ramp's set-points are counted as the runner sends them: the last
    // step shorter, none past TO whatever the rounding of the step.
    const struct
    {
        const char *ramp;
        int points;
    } ramps[] = {{"1V to 2V step 0.1V", 11},    // 1 / 0.1 rounds just below 10
                 {"1V to 2.01V step 0.1V", 12}, // the last step 0.01V
                 {"1V to 1.3V step 0.1V", 4},   // 0.3 / 0.1 rounds just above 3
                 {"5V to 5V step 1V", 1},
                 {"5V to 4V step 0.25V", 5}};
    for (const auto &ramp : ramps) {
        // Repeated to the limit on actions exactly, then one action past it.
        const int times = int(PlanReader::MaxActions) / (10 * ramp.points);
        const int pad = int(PlanReader::MaxActions) - 10 * times * ramp.points;
        const auto plan = [&](int checks) {
            QString text = QStringLiteral("repeat 10\nrepeat %1\nramp 1 %2 dwell 1ms\nend\nend\n")
                               .arg(times)
                               .arg(QLatin1String(ramp.ramp));
            if (checks > 0)
                text += QStringLiteral("repeat %1\ncheck hours\nend\n").arg(checks);
            return PlanReader::parse(text.toUtf8());
        };
        const auto atLimit = plan(pad);
        ASSERT_TRUE(atLimit.plan) << ramp.ramp << ": " << firstIssue(atLimit).toStdString();
        EXPECT_EQ(PlanRunner::rampPoints(atLimit.plan->steps[0].body[0].body[0]).size(),
                  std::size_t(ramp.points));
        EXPECT_TRUE(firstIssue(plan(pad + 1)).contains(QStringLiteral("never ends"))) << ramp.ramp;
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile huge(dir.filePath(QStringLiteral("huge.plan")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(QByteArray("hold 1s\n").repeated(PlanReader::MaxFileBytes / 8 + 1));
    huge.close();
    EXPECT_TRUE(onlyIssue(PlanReader::read(huge.fileName())).contains("at most 1 MiB"));
    // A device without end is read no further than the limit.
    EXPECT_TRUE(onlyIssue(PlanReader::read("/dev/zero")).contains("at most 1 MiB"));
    const QString missing = dir.filePath(QStringLiteral("none.plan"));
    EXPECT_TRUE(onlyIssue(PlanReader::read(missing)).contains(": cannot open " + missing));
    EXPECT_TRUE(PlanReader::read(dir.path()).issues[0].reason.contains(QStringLiteral("folder")));
}

const QString kOddSerial = QStringLiteral("PSU \"B\", rev 2");
// Characters that need escaping, and one XML cannot carry at all.
const QString kStop = QStringLiteral("Check failed on line 14 & <stop>") + QChar(0x01);

const QDateTime kStart(QDate(2024, 3, 5), QTime(10, 0));

PlanCheckResult check(const char *name, int line, const char *quantity, double seconds, bool passed,
                      const char *message = "")
{
    PlanCheckResult c;
    c.name = QString::fromUtf8(name);
    c.line = line;
    c.quantity = QString::fromUtf8(quantity);
    c.passed = passed;
    c.message = QString::fromUtf8(message);
    c.seconds = seconds;
    c.time = kStart.addMSecs(qint64(seconds * 1000) + 7);
    return c;
}

PlanCheckResult withReading(PlanCheckResult c, int module, const char *unit, double measured,
                            double low, double high)
{
    c.module = module;
    c.unit = QString::fromUtf8(unit);
    c.measured = measured;
    c.low = low;
    c.high = high;
    return c;
}

// Unit 1 never had its serial read and passed; unit 2 failed a current check
// and was stopped.
PlanRunResult sampleRun()
{
    PlanRunResult run;
    run.planName = QStringLiteral("burn-in");
    run.planPath = QStringLiteral("/plans/burn-in.plan");
    run.start = kStart;
    run.outcome = PlanRunResult::Outcome::Stopped;
    run.stopReason = kStop;
    run.unreached = {2};
    run.units.resize(2);

    PlanUnitResult &one = run.units[0];
    one.unit = 1;
    one.start = kStart;
    one.seconds = 2;
    one.safeState = true;
    one.checks = {
        withReading(check("Module 1 voltage", 10, "voltage", 0.5, true), 1, "V", 5.01, 4.9, 5.1),
        check("No alarm", 11, "alarm", 1.25, true, "No alarm raised")};

    PlanUnitResult &two = run.units[1];
    two.unit = 2;
    two.serialNumber = kOddSerial;
    two.start = kStart.addSecs(3);
    two.seconds = 4;
    two.stopReason = kStop;
    two.checks = {
        check("Module 2 good", 13, "good", 1.5, true),
        withReading(check("Module 2 current", 14, "current", 2.25, false, "Current out of range"),
                    2, "A", 2.61, 0.5, 2.5)};
    return run;
}

// RFC 4180 records, each ended by CRLF (text after the last is dropped):
// quoted fields may hold commas and doubled quotes. No field here holds a
// line break.
QList<QStringList> parseCsv(const QString &text)
{
    static const QRegularExpression field(
        QStringLiteral(R"re((?:"((?:[^"]|"")*)"|([^,"]*))(,?))re"));
    QList<QStringList> rows;
    for (const QString &line : text.split(QStringLiteral("\r\n")).mid(0, text.count("\r\n"))) {
        QStringList row;
        for (qsizetype at = 0, more = 1; more;) {
            const QRegularExpressionMatch m = field.match(line, at);
            row << (m.hasCaptured(1) ? m.captured(1).replace("\"\"", "\"") : m.captured(2));
            more = !m.captured(3).isEmpty();
            at = m.capturedEnd();
        }
        rows << row;
    }
    return rows;
}

class PlanReportFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Files must not follow the desk's locale: a comma point breaks every reader.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ASSERT_TRUE(dir.isValid());
        base = dir.filePath(QStringLiteral("report"));
        QString error;
        ASSERT_TRUE(PlanReport::writeFiles(run, base, &error)) << error.toStdString();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QByteArray read(const char *suffix)
    {
        QFile file(base + QLatin1String(suffix));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << suffix;
        return file.readAll();
    }

    QTemporaryDir dir;
    PlanRunResult run = sampleRun();
    QString base;
};

// Catches a file a JUnit reader cannot parse (markup or a control character
// let through), and counts, times, properties or texts other than the run's.
TEST_F(PlanReportFiles, JUnitConsumerReadsWhatWentIn)
{
    const char *script = R"(
import sys
from junitparser import JUnitXml
xml = JUnitXml.fromfile(sys.argv[1])
rows = [["run", xml.name, xml.tests, xml.failures, xml.errors]]
for s in xml:
    rows.append(["suite", s.name, s.tests, s.failures, s.errors, s.timestamp])
    rows += [["property", p.name, p.value] for p in s.properties()]
    rows += [["case", c.name, c.time, c.system_out] +
             [type(r).__name__ + ": " + r.message for r in c.result] for c in s]
sys.stdout.buffer.write("\n".join("|".join(map(str, r)) for r in rows).encode())
)";
    const Ran r = runProgram("/usr/bin/python3", {"-c", script, base + ".xml"});
    if (r.rc != 0 && r.err.contains("No module named 'junitparser'"))
        GTEST_SKIP() << "python3-junitparser is not installed (scripts/setup.sh installs it)";
    ASSERT_EQ(r.rc, 0) << show(r);

    const QString stop = kStop.chopped(1) + QChar(QChar::ReplacementCharacter);
    const QStringList expected{
        "run|burn-in|5|1|1",
        "suite|unit 1|2|0|0|2024-03-05T10:00:00",
        "property|unit|1",
        "property|plan|/plans/burn-in.plan",
        "property|safe state|reached",
        "case|Module 1 voltage (line 10)|0.5|measured 5.01 V, limits 4.90 V .. 5.10 V",
        "case|No alarm (line 11)|0.75|No alarm raised",
        "suite|" + kOddSerial + "|3|1|1|2024-03-05T10:00:03",
        "property|unit|2",
        "property|plan|/plans/burn-in.plan",
        "property|stop reason|" + stop,
        "property|safe state|not reached",
        "case|Module 2 good (line 13)|1.5|None",
        "case|Module 2 current (line 14)|0.75|None|"
        "Failure: measured 2.610 A, limits 0.500 A .. 2.500 A",
        "case|Run stopped|0.0|None|Error: " + stop,
    };
    EXPECT_EQ(r.out.split('\n'), expected) << r.out.toStdString();
}

// Catches a CSV or JSON report a reader takes otherwise than the run went:
// quoting, columns, times, and what was not known left out instead of null.
TEST_F(PlanReportFiles, CsvAndJsonReadBack)
{
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(read(".csv")));
    ASSERT_EQ(rows.size(), 6); // header, two checks each, the stop
    for (const QStringList &row : rows)
        ASSERT_EQ(row.size(), 13) << row.join('|').toStdString();
    EXPECT_EQ(rows[1].mid(0, 10), (QStringList{"1", "", "10", "Module 1 voltage", "voltage", "5.01",
                                               "4.9", "5.1", "V", "pass"}));
    const QStringList &amps = rows[4];
    EXPECT_EQ(amps.mid(0, 10) + amps.mid(11),
              (QStringList{"2", kOddSerial, "14", "Module 2 current", "current", "2.61", "0.5",
                           "2.5", "A", "fail", "2.25", "Current out of range"}));
    EXPECT_EQ(QDateTime::fromString(amps[10], Qt::ISODateWithMs), run.units[1].checks[1].time);
    EXPECT_EQ((QStringList{rows[0][0], rows[5][9], rows[5][12]}),
              (QStringList{"unit", "stopped", kStop}));

    QJsonParseError parseError;
    const QJsonObject root = QJsonDocument::fromJson(read(".json"), &parseError).object();
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << parseError.errorString().toStdString();
    EXPECT_EQ(QDateTime::fromString(root["start"].toString(), Qt::ISODateWithMs), run.start);
    const QJsonArray units = root["units"].toArray();
    ASSERT_EQ(units.size(), 2);
    const QJsonObject one = units[0].toObject(), two = units[1].toObject();
    const QJsonObject current = two["checks"][1].toObject();
    // What was not known is null, not left out.
    EXPECT_TRUE(one["serialNumber"].isNull() && one["stopReason"].isNull() &&
                one["checks"][1]["measured"].isNull());
    const QJsonArray fields{root["outcome"],   root["outcomeCode"], root["unreached"],
                            one["passed"],     two["serialNumber"], two["passed"],
                            two["stopReason"], current["measured"], current["high"],
                            current["passed"], current["module"]};
    EXPECT_EQ(fields, (QJsonArray{"stopped", 6, QJsonArray{2}, true, kOddSerial, false, kStop, 2.61,
                                  2.5, false, 2}))
        << QJsonDocument(fields).toJson(QJsonDocument::Compact).constData();
}

// Catches a write into a missing folder that leaves a file or does not name
// it, a refused run without units reported as passing, and a unit that
// passes with a stop reason or with a failed check.
TEST_F(PlanReportFiles, FailedWritesRefusedRunsAndUnitVerdicts)
{
    const QString missing = dir.filePath(QStringLiteral("missing/report"));
    QString error;
    EXPECT_FALSE(PlanReport::writeFiles(run, missing, &error));
    EXPECT_TRUE(error.contains(missing + QStringLiteral(".xml"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(missing + QStringLiteral(".xml")));

    PlanRunResult refused;
    refused.planName = QStringLiteral("burn-in");
    refused.outcome = PlanRunResult::Outcome::Refused;
    refused.stopReason = QStringLiteral("Line 3: unknown step");
    const QString xml = QString::fromUtf8(PlanReport::junitXml(refused));
    EXPECT_TRUE(xml.contains(R"(tests="1" failures="0" errors="1")")) << xml.toStdString();
    EXPECT_TRUE(xml.contains(R"(<error message="Line 3: unknown step" type="refused"/>)"))
        << xml.toStdString();

    EXPECT_TRUE(run.units[0].passed());
    PlanUnitResult stoppedClean = run.units[0];
    stoppedClean.stopReason = QStringLiteral("Port closed");
    EXPECT_FALSE(stoppedClean.passed());
    PlanUnitResult failed = run.units[1];
    failed.stopReason.clear();
    EXPECT_FALSE(failed.passed());
}

} // namespace planfilestest
