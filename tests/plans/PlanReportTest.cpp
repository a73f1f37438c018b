#include "plans/PlanReport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Named: the folder's tests are compiled as one unit, anonymous namespaces and all.
namespace PlanReportTests {

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

// Runs a program to its end: its exit code, -1 when it crashed or hung.
int runProcess(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    *out = process.readAllStandardOutput();
    *err = process.readAllStandardError();
    return process.exitCode();
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
    QByteArray out, err;
    const int code = runProcess("/usr/bin/python3", {"-c", script, base + ".xml"}, &out, &err);
    if (code != 0 && err.contains("No module named 'junitparser'"))
        GTEST_SKIP() << "python3-junitparser is not installed (scripts/setup.sh installs it)";
    ASSERT_EQ(code, 0) << err.toStdString();

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
    EXPECT_EQ(QString::fromUtf8(out).split('\n'), expected) << out.toStdString();
}

TEST_F(PlanReportFiles, CsvReadsBack)
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
}

TEST_F(PlanReportFiles, JsonReadsBack)
{
    QJsonParseError parseError;
    const QJsonObject root = QJsonDocument::fromJson(read(".json"), &parseError).object();
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << parseError.errorString().toStdString();
    EXPECT_EQ(QDateTime::fromString(root["start"].toString(), Qt::ISODateWithMs), run.start);
    const QJsonArray units = root["units"].toArray();
    ASSERT_EQ(units.size(), 2);
    const QJsonObject one = units[0].toObject(), two = units[1].toObject();
    const QJsonObject amps = two["checks"][1].toObject();
    // What was not known is null, not left out.
    EXPECT_TRUE(one["serialNumber"].isNull() && one["stopReason"].isNull() &&
                one["checks"][1]["measured"].isNull());
    const QJsonArray fields{root["outcome"],   root["outcomeCode"], root["unreached"],
                            one["passed"],     two["serialNumber"], two["passed"],
                            two["stopReason"], amps["measured"],    amps["high"],
                            amps["passed"],    amps["module"]};
    EXPECT_EQ(fields, (QJsonArray{"stopped", 6, QJsonArray{2}, true, kOddSerial, false, kStop, 2.61,
                                  2.5, false, 2}))
        << QJsonDocument(fields).toJson(QJsonDocument::Compact).constData();
}

TEST(PlanReport, WriteIntoMissingFolderNamesTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.filePath(QStringLiteral("missing/report"));
    QString error;
    EXPECT_FALSE(PlanReport::writeFiles(sampleRun(), base, &error));
    EXPECT_TRUE(error.contains(base + QStringLiteral(".xml"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(base + QStringLiteral(".xml")));
}

TEST(PlanReport, RefusedRunWithoutUnitsIsAnError)
{
    PlanRunResult run;
    run.planName = QStringLiteral("burn-in");
    run.outcome = PlanRunResult::Outcome::Refused;
    run.stopReason = QStringLiteral("Line 3: unknown step");
    const QString xml = QString::fromUtf8(PlanReport::junitXml(run));
    EXPECT_TRUE(xml.contains(R"(tests="1" failures="0" errors="1")")) << xml.toStdString();
    EXPECT_TRUE(xml.contains(R"(<error message="Line 3: unknown step" type="refused"/>)"))
        << xml.toStdString();
}

TEST(PlanReport, UnitPassesOnlyWithEveryCheckAndNoStop)
{
    const PlanRunResult run = sampleRun();
    EXPECT_TRUE(run.units[0].passed());
    PlanUnitResult stoppedClean = run.units[0];
    stoppedClean.stopReason = QStringLiteral("Port closed");
    EXPECT_FALSE(stoppedClean.passed());
    PlanUnitResult failed = run.units[1];
    failed.stopReason.clear();
    EXPECT_FALSE(failed.passed());
}

} // namespace PlanReportTests
