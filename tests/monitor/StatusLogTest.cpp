// The non-window parts of the monitor: the polling schedule, the hours text,
// the status log's stored format, the control-state policy where the window
// tests cannot reach it, and the trend readings over a long run.
#include "monitor/StatusLog.h"
#include "LogFiles.h"
#include "MonitorShown.h"
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "monitor/MonitorControlState.h"
#include "monitor/MonitorSession.h"
#include "monitor/PollSchedule.h"
#include "monitor/StatusLogFile.h"
#include "monitor/StatusLogFormat.h"
#include "monitor/TrendData.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

int pollsIn(PollSchedule &s, int ticks)
{
    int polls = 0;
    for (int i = 0; i < ticks; ++i)
        polls += s.tick() ? 1 : 0;
    return polls;
}

TEST(PollScheduleTest, PeriodArithmetic)
{
    // Catches a period taken from the wrong characters, an hour that polls
    // before its 60th minute, or a fractional check that drifts over a long run.
    PollSchedule s;
    ASSERT_TRUE(s.start("10  Sec."));
    EXPECT_EQ(s.intervalMs(), 10000);
    EXPECT_EQ(pollsIn(s, 1000), 1000);
    ASSERT_TRUE(s.start("30  Min."));
    EXPECT_EQ(s.periodSeconds(), 1800);
    EXPECT_EQ(pollsIn(s, 29), 0);
    EXPECT_EQ(pollsIn(s, 1), 1);
    ASSERT_TRUE(s.start("1   Hr."));
    EXPECT_EQ(pollsIn(s, 59), 0);
    EXPECT_EQ(pollsIn(s, 1), 1);
    ASSERT_TRUE(s.start("24  Hr."));
    EXPECT_EQ(pollsIn(s, 24 * 60 * 3), 3);
    EXPECT_TRUE(!s.start("5   Days") && !s.tick());
    EXPECT_EQ(PollSchedule::choices().size(), 22);
}

TEST(MonitorSessionTest, HoursGroupedAndExactHalvesOfReadingsRoundedToEven)
{
    // Catches hours past 32767 shown negative, grouping that breaks small
    // numbers, and a reading on an exact half rounded away from zero instead
    // of to even.
    TestEnvironment env;
    for (const auto &[stored, shown] : {std::pair{"-1", "65,535"},
                                        {"1234", "1,234"},
                                        {"999", "999"},
                                        {"0", "0"},
                                        {"1234567", "1,234,567"}})
        EXPECT_EQ(MonitorSession::formatHours(stored), shown);
    EXPECT_EQ(MonitorSession::plainHours("1,234,567"), "1234567");
    const struct
    {
        qint16 raw;
        double factor;
        const char *separator, *shown;
    } cases[] = {{10, 80, ".", "0.12"},     // 0.125 A
                 {30, 80, ".", "0.38"},     // 0.375 A
                 {4020, 160, ".", "25.12"}, // 25.125 V
                 {4020, 160, ",", "25,12"}};
    for (const auto &c : cases) {
        ZelkGlobals::DecimalSeparator = c.separator;
        EXPECT_EQ(MonitorSession::measuredText(c.raw, c.factor).toStdString(), c.shown) << c.raw;
    }
}

// A record whose columns all differ, the status columns by their pattern of
// Ok and Fail over records 0 to 3, so that any two swapped columns show.
PollRecord distinctColumnsRecord(int k)
{
    const auto status = [k](int column) {
        return StatusLogFormat::okFail((column >> k) & 1);
    };
    PollRecord r;
    r.stamp = QDateTime(QDate(2026, 12, 4), QTime(10, 30, 5 * k));
    r.unitId = QStringLiteral(" 7 ");
    r.overTemp = status(1);
    r.fanFail = status(2);
    r.fanWarn = status(3);
    r.acOk = status(4);
    r.globalDcGood = status(5);
    r.globalCurrentLimit = status(6);
    r.globalOvp = status(7);
    r.operatingHours = QString::number(1200 + k);
    for (int m = 1; m <= 5; ++m) {
        r.good[m - 1] = status(7 + m);
        r.volts[m - 1] = QStringLiteral("1%1.%2").arg(m).arg(k) + u'0';
        r.amps[m - 1] = QStringLiteral("%1.%2").arg(m).arg(k) + u'5';
    }
    return r;
}

TEST(StatusLogFormatTest, RecordsKeepTheStoredColumnsAlsoWithCommasOrQuotes)
{
    // Catches two columns swapped, a field dropped or doubled, or a line break
    // misplaced, as the log file holds them; and a decimal comma that splits a
    // value over two columns, or a quote inside a field that ends it early.
    TestEnvironment env;
    StatusLog log;
    StatusLogFile writer;
    log.addHeader();
    for (int k = 0; k < 4; ++k) {
        log.append(StatusLogFormat::logRecord(distinctColumnsRecord(k)));
        ASSERT_TRUE(writer.sync(env.path("Log.csv"), log));
    }
    QFile golden(QStringLiteral(ZELK_TEST_DATA_DIR "/alarm_columns.csv"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(env.readFile("Log.csv").toStdString(), golden.readAll().toStdString());

    PollRecord r = distinctColumnsRecord(0);
    r.volts[0] = "12,50";
    r.amps[0] = "0,25";
    r.volts[4] = "say \"hi\"";
    r.operatingHours = "ERR,\"A\"\r\nB";
    const QString record = StatusLogFormat::logRecord(r);
    ASSERT_TRUE(record.startsWith("\r\n"));
    const QStringList fields = csvFields(QStringView(record).sliced(2));
    ASSERT_EQ(fields.size(), csvFields(StatusLogFormat::header()).size());
    // Every field ends with the separator: the last column is empty.
    EXPECT_EQ((QStringList{fields[2], fields[10], fields[12], fields[13], fields[24], fields[26]}),
              (QStringList{"7", r.operatingHours, r.volts[0], r.amps[0], r.volts[4], ""}));
}

// The Monitor Mode box during a poll, and the global switch of a unit whose
// outputs are held off; the window tests cover the other controls.
using A = MonitorControlState::Activity;

MonitorControlState::Inputs unitOne(A activity, bool monitorMode)
{
    MonitorControlState::Inputs in;
    in.activity = activity;
    in.unitSelected = true;
    in.monitorMode = monitorMode;
    in.modulesKnown = true;
    return in;
}

// Catches a Monitor Mode that cannot be left during its poll or can be entered
// in the middle of something else, a window without a unit that offers
// polling, and a global switch offered while the outputs are held off.
TEST(MonitorControlStateTest, MonitorModeBoxAndGlobalSwitch)
{
    const std::pair<MonitorControlState::Inputs, bool> monitorBox[] = {
        {unitOne(A::Idle, false), true},       {unitOne(A::Action, false), false},
        {unitOne(A::Reading, false), false},   {unitOne(A::Refreshing, false), false},
        {unitOne(A::Refreshing, true), true},  {unitOne(A::Idle, true), true},
        {MonitorControlState::Inputs{}, false}};
    for (const auto &[in, box] : monitorBox)
        EXPECT_EQ(MonitorControlState::of(in).monitorMode, box)
            << int(in.activity) << in.monitorMode << in.unitSelected;

    auto heldOff = unitOne(A::Idle, false);
    EXPECT_TRUE(MonitorControlState::of(heldOff).globalSwitch);
    heldOff.modulesKnown = false;
    EXPECT_FALSE(MonitorControlState::of(heldOff).globalSwitch);
    EXPECT_TRUE(MonitorControlState::of(heldOff).switchButtons);
}

constexpr qint64 Second = 1000;
constexpr qint64 Hour = 3600 * Second;

TEST(TrendDataTest, ADayOfSecondPollsStaysBoundedAndKeepsExtremesAndGaps)
{
    // Catches readings kept without bound, a spike or a silent poll lost
    // when old readings are folded, and a chart asked for a day getting
    // every poll of it.
    TrendData data;
    const qint64 start = 1'000'000 * Second;
    const qint64 spike = start + 3 * Hour + 17 * Second;
    const qint64 silent = start + 5 * Hour + 42 * Second;
    for (qint64 t = start; t < start + 24 * Hour; t += Second) {
        for (int m = 1; m <= 5; ++m) {
            if (t == silent)
                data.add(m, t, std::nullopt, std::nullopt);
            else
                data.add(m, t, t == spike ? 30.0 : 12.0 + m, 2.5);
        }
    }
    EXPECT_LT(data.heldBytes(), 20 * 1024 * 1024);
    const qint64 end = start + 24 * Hour - Second;
    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        const QList<TrendData::Point> day = data.points(m, start, end);
        EXPECT_LE(day.size(), 1200 + 2 * 24 * 60 / 1 + 10);
        double highest = 0;
        int gaps = 0;
        for (const TrendData::Point &p : day) {
            highest = p.gap ? highest : std::max(highest, p.volts);
            gaps += p.gap ? 1 : 0;
        }
        EXPECT_DOUBLE_EQ(highest, 30.0);
        EXPECT_EQ(gaps, 1);
        // The last ten minutes come poll by poll.
        const QList<TrendData::Point> recent = data.points(m, end - 600 * Second + 1, end);
        ASSERT_EQ(recent.size(), 600);
        EXPECT_EQ(recent.back(), (TrendData::Point{end, 12.0 + m, 2.5, false}));
    }
}

} // namespace
