// The status log's file: every record reaches it once and in order, across
// failed writes, a Clear, and a file removed or a folder made read-only.
#include "monitor/StatusLogFile.h"
#include "AsNobody.h"
#include "monitor/DiskLogFileAccess.h"
#include "monitor/StatusLog.h"
#include "monitor/StatusLogFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// The file in memory; every write can be made to fail like a full disk.
class MemoryLogAccess final : public LogFileAccess
{
public:
    QByteArray file;
    bool exists = false;
    bool failing = false;
    Info info(const QString &) override { return {exists, file.size()}; }
    QByteArray readTail(const QString &, qint64 bytes) override { return file.right(bytes); }
    bool replace(const QString &, QByteArrayView content) override
    {
        if (failing)
            return false;
        file = content.toByteArray();
        exists = true;
        return true;
    }
    bool append(const QString &, QByteArrayView tail) override
    {
        if (failing)
            return false;
        file = (exists ? file : QByteArray()) + tail.toByteArray();
        exists = true;
        return true;
    }
    QString errorString() const override { return QStringLiteral("No space left on device"); }
};

QString numbered(int i)
{
    return QStringLiteral("\r\nr%1,").arg(i);
}

QByteArray logHeader()
{
    return StatusLogFormat::header().toUtf8();
}

QByteArray numberedRecords(int from, int to)
{
    QByteArray bytes;
    for (int i = from; i <= to; ++i)
        bytes += numbered(i).toUtf8();
    return bytes;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

TEST(StatusLogFileTest, RecordsThatCouldNotBeWrittenFollowOnceAndInOrder)
{
    // Catches records lost or written twice around failed writes, a failed
    // first write that is never retried whole, or a reason that is not kept.
    MemoryLogAccess access;
    StatusLogFile writer(&access);
    StatusLog log;
    log.addHeader();
    const bool fails[] = {true, false, true, true, false, false};
    for (int i = 0; i < 6; ++i) {
        access.failing = fails[i];
        log.append(numbered(i));
        EXPECT_EQ(writer.sync("Log.csv", log), !fails[i]) << i;
        if (i == 3) {
            EXPECT_EQ(writer.waitingRecords(), 2);
            EXPECT_EQ(writer.errorString(), "No space left on device");
        }
    }
    EXPECT_EQ(access.file.toStdString(), (logHeader() + numberedRecords(0, 5)).toStdString());
    EXPECT_EQ(writer.waitingRecords(), 0);
    EXPECT_EQ(writer.droppedRecords(), 0);
    EXPECT_EQ(writer.errorString(), QString());
    EXPECT_EQ(writer.fullWrites(), 2);
    EXPECT_EQ(writer.appends(), 4);
}

TEST(StatusLogFileTest, BeyondTheQueueTheOldestAreDroppedAndCounted)
{
    // Catches a queue without bound, the newest dropped instead of the oldest,
    // or drops not counted, whether the writer or the log let them go.
    constexpr int Total = StatusLogFile::MaxWaiting + 5;
    const std::vector<int> failedSyncsAfter[] = {{6000, Total}, {1, Total}};
    for (const std::vector<int> &syncs : failedSyncsAfter) {
        MemoryLogAccess access;
        access.failing = true;
        StatusLogFile writer(&access);
        StatusLog log;
        log.addHeader();
        for (int i = 0; i < Total;) {
            log.append(numbered(i));
            if (std::find(syncs.begin(), syncs.end(), ++i) != syncs.end()) {
                EXPECT_FALSE(writer.sync("Log.csv", log));
            }
        }
        EXPECT_EQ(writer.waitingRecords(), StatusLogFile::MaxWaiting) << syncs[0];
        EXPECT_EQ(writer.droppedRecords(), 5) << syncs[0];
        access.failing = false;
        ASSERT_TRUE(writer.sync("Log.csv", log));
        EXPECT_TRUE(access.file == logHeader() + numberedRecords(5, Total - 1)) << syncs[0];
    }
}

TEST(StatusLogFileTest, ClearEmptiesTheWindowNotTheFile)
{
    // Catches a Clear that takes records out of the file (also ones still
    // waiting), a second header in the file, or a new file name that does
    // not start with the header and the log since the Clear.
    for (bool failBeforeClear : {false, true}) {
        MemoryLogAccess access;
        StatusLogFile writer(&access);
        StatusLog log;
        log.addHeader();
        log.append(numbered(1));
        ASSERT_TRUE(writer.sync("a.csv", log));
        access.failing = failBeforeClear;
        log.append(numbered(2));
        EXPECT_EQ(writer.sync("a.csv", log), !failBeforeClear);
        access.failing = false;
        log.clear();
        EXPECT_TRUE(log.addHeader());
        log.append(numbered(3));
        ASSERT_TRUE(writer.sync("a.csv", log));
        EXPECT_EQ(access.file.toStdString(), (logHeader() + numberedRecords(1, 3)).toStdString())
            << failBeforeClear;
        EXPECT_EQ(log.bytes().toStdString(), (logHeader() + numberedRecords(3, 3)).toStdString());

        ASSERT_TRUE(writer.sync("b.csv", log));
        EXPECT_EQ(access.file.toStdString(), (logHeader() + numberedRecords(3, 3)).toStdString())
            << failBeforeClear;
    }
}

TEST(StatusLogFileTest, FileChangedFromOutsideIsAppendedToNeverRewritten)
{
    // Catches a removed or emptied file continued without a header, or a file
    // rewritten from the log after someone else changed it.
    const struct
    {
        bool exists;
        QByteArray left;
        QByteArray expected;
    } cases[] = {{false, {}, logHeader() + numbered(2).toUtf8()},
                 {true, {}, logHeader() + numbered(2).toUtf8()},
                 {true, "kept by hand", "kept by hand" + numbered(2).toUtf8()}};
    for (const auto &c : cases) {
        MemoryLogAccess access;
        StatusLogFile writer(&access);
        StatusLog log;
        log.addHeader();
        log.append(numbered(1));
        ASSERT_TRUE(writer.sync("Log.csv", log));
        access.exists = c.exists;
        access.file = c.left;
        log.append(numbered(2));
        ASSERT_TRUE(writer.sync("Log.csv", log));
        EXPECT_EQ(access.file.toStdString(), c.expected.toStdString()) << c.exists;
    }
}

TEST(DiskLogFileAccessTest, ReplacesThroughARenameWhereTheFolderAllows)
{
    // Catches a replace written in place although the folder takes a
    // temporary file: a crash midway would tear the log.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Log.csv"));
    const QString twin = dir.filePath(QStringLiteral("twin"));
    writeBytes(path, "old");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(twin).constData()), 0);
    DiskLogFileAccess disk;
    ASSERT_TRUE(disk.replace(path, "new"));
    EXPECT_EQ(fileBytes(path), "new");
    EXPECT_EQ(fileBytes(twin), "old"); // the same inode would show the new bytes
}

TEST(DiskLogFileAccessTest, FailedAppendLeavesTheFileAsItWasAndSaysWhy)
{
    // Catches a failed append that leaves part of its bytes in the file, to
    // be followed by the whole record again, or that gives no reason.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Log.csv"));
    const QByteArray before(100, 'a');
    writeBytes(path, before);
    // A file size limit stands in for a full disk: the first bytes go, then
    // the write fails.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = before.size() + 10;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    DiskLogFileAccess disk;
    const bool appended = disk.append(path, QByteArray(100, 'b'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(appended);
    EXPECT_EQ(fileBytes(path).toStdString(), before.toStdString());
    EXPECT_EQ(disk.errorString(), "File too large");
}

const char *const ReadOnlyFolderVariable = "ZELK_READONLY_LOG_DIR";

// Only run as nobody, by StatusLogFileAsNobody.ReadOnlyFolderKeepsEveryRecord.
TEST(StatusLogFileAsNobody, ReadOnlyFolderChild)
{
    const QString folder = qEnvironmentVariable(ReadOnlyFolderVariable);
    if (folder.isEmpty())
        GTEST_SKIP() << "run as nobody by StatusLogFileAsNobody.ReadOnlyFolderKeepsEveryRecord";
    StatusLog log;
    StatusLogFile writer;
    log.addHeader();
    for (int i = 1; i <= 3; ++i) {
        log.append(numbered(i));
        ASSERT_TRUE(writer.sync(folder + QStringLiteral("/Log.csv"), log))
            << i << ": " << writer.errorString().toStdString();
    }
    StatusLogFile another;
    EXPECT_FALSE(another.sync(folder + QStringLiteral("/New.csv"), log));
    EXPECT_EQ(another.errorString(), "Permission denied");
    EXPECT_EQ(another.waitingRecords(), 3);
}

TEST(StatusLogFileAsNobody, ReadOnlyFolderKeepsEveryRecord)
{
    // Catches a first write that needs a temporary file in a folder that
    // takes none, one that leaves the last run's bytes behind, or records
    // lost there. Root writes everywhere: the writer runs in a copy of this
    // test program, dropped to nobody.
    if (::geteuid() != 0)
        GTEST_SKIP() << "dropping to nobody needs root";
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString path = scratch.filePath(QStringLiteral("Log.csv"));
    writeBytes(path, QByteArray(600, 'o'));
    const auto all = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const auto exec = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(path, all | QFile::WriteOwner | QFile::WriteGroup |
                                                QFile::WriteOther));
    // The copy of the test program goes in before the folder closes.
    ASSERT_TRUE(
        QFile::copy(QCoreApplication::applicationFilePath(), scratch.filePath(AsNobodyProgram)));
    ASSERT_TRUE(QFile::setPermissions(scratch.path(), all | exec));

    QProcessEnvironment variables;
    variables.insert(QString::fromLatin1(ReadOnlyFolderVariable), scratch.path());
    const QString failure = failureAsNobody(
        scratch.path(), QStringLiteral("StatusLogFileAsNobody.ReadOnlyFolderChild"), variables);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(fileBytes(path).toStdString(), (logHeader() + numberedRecords(1, 3)).toStdString());
    QStringList left =
        QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("Log.csv"), AsNobodyProgram}));
}

} // namespace
