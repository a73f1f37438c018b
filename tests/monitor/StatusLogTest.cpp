// The non-window parts of the monitor: the polling schedule, the hours text
// and the log file writer.
#include "StatusLog.h"
#include "MonitorSession.h"
#include "PollSchedule.h"
#include "StatusLogFile.h"
#include "TestSeams.h"

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
    // Catches a period taken from the wrong characters or a fractional check
    // that drifts over a long run.
    PollSchedule s;
    ASSERT_TRUE(s.start("10  Sec."));
    EXPECT_EQ(s.intervalMs(), 10000);
    EXPECT_EQ(pollsIn(s, 1000), 1000);
    ASSERT_TRUE(s.start("30  Min."));
    EXPECT_EQ(s.periodSeconds(), 1800);
    EXPECT_EQ(pollsIn(s, 29), 0);
    EXPECT_EQ(pollsIn(s, 1), 1);
    ASSERT_TRUE(s.start("24  Hr."));
    EXPECT_EQ(pollsIn(s, 24 * 60 * 3), 3);
    EXPECT_FALSE(s.start("5   Days"));
    EXPECT_FALSE(s.tick());
    EXPECT_EQ(PollSchedule::choices().size(), 22);
}

TEST(MonitorSessionTest, OperatingHoursText)
{
    // Catches hours past 32767 shown negative, or grouping that breaks small numbers.
    TestEnvironment env;
    EXPECT_EQ(MonitorSession::formatHours("-1"), "65,535");
    EXPECT_EQ(MonitorSession::formatHours("1234"), "1,234");
    EXPECT_EQ(MonitorSession::formatHours("999"), "999");
    EXPECT_EQ(MonitorSession::formatHours("0"), "0");
    EXPECT_EQ(MonitorSession::formatHours("1234567"), "1,234,567");
    EXPECT_EQ(MonitorSession::plainHours("1,234,567"), "1234567");
}

// Counts what reached the file and can refuse every write.
class MemoryAccess final : public LogFileAccess
{
public:
    QByteArray file;
    bool exists = false;
    bool writable = true;
    qint64 stamp = 0;
    Info info(const QString &) override
    {
        return {exists, file.size(), QDateTime::fromMSecsSinceEpoch(stamp)};
    }
    QByteArray readTail(const QString &, qint64 bytes) override { return file.right(bytes); }
    bool replace(const QString &, QByteArrayView content) override
    {
        if (!writable)
            return false;
        file = content.toByteArray();
        exists = true;
        ++stamp;
        return true;
    }
    bool append(const QString &, QByteArrayView tail) override
    {
        if (!writable || !exists)
            return false;
        file += tail.toByteArray();
        ++stamp;
        return true;
    }
};

TEST(StatusLogFileTest, AppendsWhatIsNewAndRewritesWhenTheFileIsNotOurs)
{
    // Catches appends to a file that changed under the writer, and rewrites
    // where an append would do.
    MemoryAccess access;
    StatusLogFile writer(&access);
    StatusLog log;
    log.addHeader();
    ASSERT_TRUE(writer.sync("a", log));
    log.append("\r\nr1,");
    ASSERT_TRUE(writer.sync("a", log));
    EXPECT_EQ(writer.fullWrites(), 1);
    EXPECT_EQ(writer.appends(), 1);
    EXPECT_EQ(access.file, log.bytes());

    access.file += "tampered"; // someone else wrote to it
    ++access.stamp;
    log.append("\r\nr2,");
    ASSERT_TRUE(writer.sync("a", log));
    EXPECT_EQ(access.file, log.bytes());
    EXPECT_EQ(writer.fullWrites(), 2);

    ASSERT_TRUE(writer.sync("b", log)); // another name starts a new file
    EXPECT_EQ(writer.fullWrites(), 3);

    log.clear();
    log.addHeader();
    ASSERT_TRUE(writer.sync("b", log));
    EXPECT_EQ(access.file, log.bytes());
    EXPECT_EQ(writer.fullWrites(), 4);
}

TEST(StatusLogFileTest, FailedWriteIsMadeGoodByAFullWrite)
{
    // Catches a writer that, after a failure, appends only the newest part.
    MemoryAccess access;
    StatusLogFile writer(&access);
    StatusLog log;
    log.addHeader();
    ASSERT_TRUE(writer.sync("a", log));
    access.writable = false;
    log.append("\r\nr1,");
    EXPECT_FALSE(writer.sync("a", log));
    log.append("\r\nr2,");
    EXPECT_FALSE(writer.sync("a", log));
    access.writable = true;
    log.append("\r\nr3,");
    ASSERT_TRUE(writer.sync("a", log));
    EXPECT_EQ(access.file, log.bytes());
}

} // namespace
