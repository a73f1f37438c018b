// The non-window parts of the monitor: the polling schedule, the hours text
// and the status log's stored format.
#include "monitor/StatusLog.h"
#include "LogFiles.h"
#include "MonitorShown.h"
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "monitor/MonitorSession.h"
#include "monitor/PollSchedule.h"
#include "monitor/StatusLogFile.h"
#include "monitor/StatusLogFormat.h"

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

} // namespace
