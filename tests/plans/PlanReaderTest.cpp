#include "plans/PlanReader.h"
#include "plans/PlanRunner.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <string_view>

#include <gtest/gtest.h>

namespace planreadertest {

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

TEST(PlanReader, SaysEveryIssueInLineOrder)
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

TEST(PlanReader, NameDefaultsToTheFileName)
{
    const auto r =
        PlanReader::parse("\xEF\xBB\xBFhold 1.5s\n", QStringLiteral("/line/smoke.v2.plan"));
    ASSERT_TRUE(r.plan) << firstIssue(r).toStdString();
    EXPECT_EQ(r.plan->name, QStringLiteral("smoke.v2"));
    EXPECT_EQ(r.plan->pollMs, 1000);
    EXPECT_EQ(r.plan->steps.at(0).durationMs, 1500);
    EXPECT_FALSE(r.plan->explicitFinally);
}

} // namespace planreadertest
