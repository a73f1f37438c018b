// The status log's file: every record reaches it once and in order, across
// failed writes, a Clear, and a file removed or a folder made read-only.
#include "monitor/StatusLogFile.h"
#include "AsNobody.h"
#include "LogFiles.h"
#include "TestSeams.h"
#include "monitor/DiskLogFileAccess.h"
#include "monitor/StatusLog.h"
#include "monitor/StatusLogFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QString LogHeader = StatusLogFormat::header();

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A status log with its header and its writer, on a scratch folder whose
// writes can be made to fail like a full disk.
struct Writing
{
    TestEnvironment env;
    SwitchableLogAccess access;
    StatusLogFile writer{&access};
    StatusLog log;
    Writing() { log.addHeader(); }
    // Record i added to the log, and the log written out.
    bool add(int i, const char *file = "Log.csv")
    {
        log.append(numberedRecord(i));
        return writer.sync(env.path(file), log);
    }
    std::string file(const char *name = "Log.csv") const
    {
        return env.readFile(name).toStdString();
    }
};

TEST(StatusLogFileTest, RecordsThatCouldNotBeWrittenFollowOnceAndInOrder)
{
    // Catches records lost or written twice around failed writes, a failed
    // first write that is never retried whole, or a reason that is not kept.
    Writing w;
    const bool fails[] = {true, false, true, true, false, false};
    for (int i = 0; i < 6; ++i) {
        w.access.writable = !fails[i];
        EXPECT_EQ(w.add(i), !fails[i]) << i;
        if (i == 3) {
            EXPECT_EQ(w.writer.waitingRecords(), 2);
            EXPECT_EQ(w.writer.errorString(), "No space left");
        }
    }
    EXPECT_EQ(w.file(), (LogHeader + numberedRecords(0, 5)).toStdString());
    EXPECT_EQ(w.writer.errorString(), QString());
    EXPECT_EQ((QList<qsizetype>{w.writer.waitingRecords(), w.writer.droppedRecords(),
                                w.writer.fullWrites(), w.writer.appends()}),
              (QList<qsizetype>{0, 0, 2, 4}));
}

TEST(StatusLogFileTest, BeyondTheQueueTheOldestAreDroppedAndCounted)
{
    // Catches a queue without bound, the newest dropped instead of the oldest,
    // or drops not counted, whether the writer or the log let them go.
    constexpr int Total = StatusLogFile::MaxWaiting + 5;
    for (const int firstFailedSync : {6000, 1}) {
        SCOPED_TRACE(firstFailedSync);
        Writing w;
        w.access.writable = false;
        for (int i = 0; i < Total; ++i) {
            w.log.append(numberedRecord(i));
            if (i + 1 == firstFailedSync || i + 1 == Total) {
                EXPECT_FALSE(w.writer.sync(w.env.path("Log.csv"), w.log));
            }
        }
        EXPECT_EQ(w.writer.waitingRecords(), StatusLogFile::MaxWaiting);
        EXPECT_EQ(w.writer.droppedRecords(), 5);
        w.access.writable = true;
        ASSERT_TRUE(w.writer.sync(w.env.path("Log.csv"), w.log));
        EXPECT_TRUE(w.file() == (LogHeader + numberedRecords(5, Total - 1)).toStdString());
    }
}

TEST(StatusLogFileTest, ClearEmptiesTheWindowNotTheFile)
{
    // Catches a Clear that takes records out of the file (also ones still
    // waiting), a second header in the file, or a new file name that does
    // not start with the header and the log since the Clear.
    for (bool failBeforeClear : {false, true}) {
        SCOPED_TRACE(failBeforeClear);
        Writing w;
        ASSERT_TRUE(w.add(1, "a.csv"));
        w.access.writable = !failBeforeClear;
        EXPECT_EQ(w.add(2, "a.csv"), !failBeforeClear);
        w.access.writable = true;
        w.log.clear();
        EXPECT_TRUE(w.log.addHeader());
        ASSERT_TRUE(w.add(3, "a.csv"));
        EXPECT_EQ(w.file("a.csv"), (LogHeader + numberedRecords(1, 3)).toStdString());
        EXPECT_EQ(w.log.bytes().toStdString(), (LogHeader + numberedRecords(3, 3)).toStdString());
        ASSERT_TRUE(w.writer.sync(w.env.path("b.csv"), w.log));
        EXPECT_EQ(w.file("b.csv"), (LogHeader + numberedRecords(3, 3)).toStdString());
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
        QString expected;
    } cases[] = {{false, {}, LogHeader + numberedRecord(2)},
                 {true, {}, LogHeader + numberedRecord(2)},
                 {true, "kept by hand", "kept by hand" + numberedRecord(2)}};
    for (const auto &c : cases) {
        Writing w;
        ASSERT_TRUE(w.add(1));
        if (c.exists)
            w.env.writeFile("Log.csv", c.left);
        else
            QFile::remove(w.env.path("Log.csv"));
        ASSERT_TRUE(w.add(2));
        EXPECT_EQ(w.file(), c.expected.toStdString()) << c.exists;
    }
}

TEST(DiskLogFileAccessTest, ReplacesThroughARenameAndAFailedAppendLeavesTheFileAsItWas)
{
    // Catches a replace written in place although the folder takes a
    // temporary file: a crash midway would tear the log; and a failed append
    // that leaves part of its bytes in the file, to be followed by the whole
    // record again, or that gives no reason.
    TestEnvironment env;
    const QString path = env.path("Log.csv");
    env.writeFile("Log.csv", "old");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(),
                     QFile::encodeName(env.path("twin")).constData()),
              0);
    DiskLogFileAccess disk;
    ASSERT_TRUE(disk.replace(path, "new"));
    EXPECT_EQ(env.readFile("Log.csv"), "new");
    EXPECT_EQ(env.readFile("twin"), "old"); // the same inode would show the new bytes

    FileSizeLimit limit;
    ASSERT_TRUE(limit.set(3 + 10));
    EXPECT_FALSE(disk.append(path, QByteArray(100, 'b')));
    limit.lift();
    EXPECT_EQ(env.readFile("Log.csv").toStdString(), "new");
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
        log.append(numberedRecord(i));
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
    {
        QFile earlier(path);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) &&
                    earlier.write(QByteArray(600, 'o')) == 600);
    }
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
    EXPECT_EQ(fileBytes(path).toStdString(), (LogHeader + numberedRecords(1, 3)).toStdString());
    QStringList left =
        QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("Log.csv"), AsNobodyProgram}));
}

} // namespace
