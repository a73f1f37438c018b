// Logs cut by day or by size: every record lands in exactly one file, each
// file starts with the header, the newest files are kept, across midnight, a
// removed or read-only folder and a full disk.
#include "monitor/LogRotation.h"
#include "LogFiles.h"
#include "TestSeams.h"
#include "core/Ini.h"
#include "core/SettingsKeys.h"
#include "monitor/AlarmLog.h"
#include "monitor/StatusLog.h"
#include "monitor/StatusLogFile.h"
#include "monitor/StatusLogFormat.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <map>

namespace {

using Cut = LogRotationSettings::Cut;

const QByteArray StatusHeader = StatusLogFormat::header().toUtf8();
const qsizetype RecordSize = numberedRecord(0).size();

// A status log written through the rotation into env's "logs" folder, one
// record per poll.
struct RotatedLog
{
    TestEnvironment env;
    SwitchableLogAccess access;
    StatusLog log;
    StatusLogFile writer{&access};
    LogRotation rotation;
    FileSizeLimit limit;
    QString folder = env.path("logs");
    QString base = env.path("logs/Log.csv");

    explicit RotatedLog(const LogRotationSettings &settings)
    {
        QDir().mkpath(folder);
        log.addHeader();
        writer.setAppendOnly(true);
        rotation.setSettings(settings);
    }
    // Every file the log had, kept or removed, by name.
    std::map<QString, QByteArray> files(QStringList *kept) const
    {
        std::map<QString, QByteArray> all = access.removed;
        *kept = QDir(folder).entryList({"Log-*.csv"}, QDir::Files, QDir::Name);
        for (const QString &name : *kept) {
            QFile file(QDir(folder).filePath(name));
            all[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }
        return all;
    }
};

// What goes wrong for a while during a run.
enum class LogFault { None, FolderRemoved, FolderReadOnly, FullDisk };

void setLogFault(RotatedLog &r, LogFault fault, bool on)
{
    if (fault == LogFault::FolderRemoved && on) {
        for (const QString &name : QDir(r.folder).entryList(QDir::Files))
            r.access.removed[name] = r.access.disk.readTail(QDir(r.folder).filePath(name), 1 << 20);
        QDir(r.folder).removeRecursively();
    } else if (fault == LogFault::FolderRemoved) {
        QDir().mkpath(r.folder);
    } else if (fault == LogFault::FolderReadOnly) {
        r.access.folderWritable = !on;
    } else if (fault == LogFault::FullDisk && on) {
        r.limit.set(StatusHeader.size() + 3 * RecordSize + 2); // the header and three records
    } else {
        r.limit.lift();
    }
}

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts);
}

TEST(LogRotation, EveryRecordOnceEachFileWithItsHeaderTheNewestKept)
{
    // Catches a record lost or written twice at a cut (the writer started
    // afresh instead of handed on), a file without its header, a cut a
    // record late or early at midnight, a size cut that ignores the size, a
    // new file that could not be made taking the records down with it, and
    // the wrong files removed.
    const qint64 sizeOf3 = StatusHeader.size() + 3 * RecordSize;
    const QDateTime lateEvening(QDate(2026, 12, 7), QTime(23, 59, 30));
    const QDateTime evening(QDate(2026, 12, 7), QTime(18, 0));
    const QDateTime morning(QDate(2026, 12, 8), QTime(10, 30));
    const struct
    {
        const char *name;
        Cut cut;
        qint64 maxBytes;
        int keep;
        QDateTime start;
        int stepSecs, polls;
        LogFault fault;
        int faultFrom, faultUntil; // the polls before which it comes and goes
        const char *failing;       // polls whose write fails
        const char *kept;
        const char *firstRecords; // of every file, in name order
    } cases[] = {
        {"midnight", Cut::Day, 1 << 20, 2, lateEvening, 10, 6, LogFault::None, 0, 0, "",
         "Log-2026-12-07.csv Log-2026-12-08.csv", "0 3"},
        {"days beyond those kept", Cut::Day, 1 << 20, 2, lateEvening, 8 * 3600, 8, LogFault::None,
         0, 0, "", "Log-2026-12-09.csv Log-2026-12-10.csv", "0 1 4 7"},
        {"size", Cut::Size, sizeOf3, 3, morning, 1, 10, LogFault::None, 0, 0, "",
         "Log-2026-12-08T103003.csv Log-2026-12-08T103006.csv Log-2026-12-08T103009.csv",
         "0 3 6 9"},
        {"folder removed over midnight", Cut::Day, 1 << 20, 5, evening, 2 * 3600, 7,
         LogFault::FolderRemoved, 3, 5, "3 4", "Log-2026-12-08.csv", "0 3"},
        {"read-only folder at midnight", Cut::Day, 1 << 20, 1, evening, 2 * 3600, 7,
         LogFault::FolderReadOnly, 2, 5, "", "Log-2026-12-08.csv", "0 5"},
        {"full disk", Cut::Size, sizeOf3 + 3 * RecordSize, 10, morning, 1, 9, LogFault::FullDisk, 2,
         6, "3 4 5", "Log-2026-12-08T103000.csv Log-2026-12-08T103007.csv", "0 7"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RotatedLog run({c.cut, c.maxBytes, c.keep});
        for (int i = 0; i < c.polls; ++i) {
            if (c.fault != LogFault::None && (i == c.faultFrom || i == c.faultUntil))
                setLogFault(run, c.fault, i == c.faultFrom);
            run.env.clock.now = c.start.addSecs(qint64(i) * c.stepSecs);
            run.log.append(numberedRecord(i));
            EXPECT_EQ(run.rotation.write(run.writer, run.base, run.log),
                      !words(c.failing).contains(QString::number(i)))
                << i;
        }
        run.limit.lift();
        QStringList kept, firsts;
        QByteArray records;
        for (const auto &[name, bytes] : run.files(&kept)) {
            EXPECT_TRUE(bytes.startsWith(StatusHeader + "\r\n")) << name.toStdString();
            const QByteArray body = bytes.mid(StatusHeader.size());
            firsts << QString::number(body.mid(3, 4).toInt());
            records += body;
        }
        EXPECT_EQ(records.toStdString(), numberedRecords(0, c.polls - 1).toStdString());
        EXPECT_EQ(kept, words(c.kept));
        EXPECT_EQ(firsts, words(c.firstRecords));
    }
}

TEST(LogRotation, AlarmFilesStandBesideTheirStatusLogAndAreCutAlike)
{
    // Catches alarm files named apart from their status log, removed with
    // the status log's files or the other way round, or not cut.
    TestEnvironment env;
    env.clock.now = QDateTime(QDate(2026, 12, 7), QTime(23, 0));
    AlarmLog alarms;
    alarms.setRotation({Cut::Day, 1 << 20, 1});
    env.writeFile("Log-2026-12-06.csv", "status, kept by the status log's own count");
    AlarmEvent event;
    event.stamp = env.clock.now;
    event.event = "Over Temp";
    for (int hours : {0, 2}) {
        env.clock.now = env.clock.now.addSecs(hours * 3600);
        alarms.add({event});
        ASSERT_TRUE(alarms.writeBeside(env.path("Log.csv")));
    }
    EXPECT_EQ(QDir(env.folder()).entryList({"Log*"}, QDir::Files, QDir::Name),
              (QStringList{"Log-2026-12-06.csv", "Log-2026-12-08-alarms.csv"}));
    EXPECT_TRUE(env.readFile("Log-2026-12-08-alarms.csv").startsWith(AlarmLog::header().toUtf8()));
}

TEST(LogRotation, SettingsAreReadFromTheMonitorSectionAndAbsentMeansOff)
{
    // Catches rotation on without its key, a key read from another section,
    // or a nonsense value taken instead of the default.
    const struct
    {
        QString cut, size, keep;
        LogRotationSettings expected;
    } cases[] = {
        {{}, {}, {}, {}},
        {"day", {}, {}, {Cut::Day, LogRotationKeys::DefaultSizeKB * 1024, 30}},
        {" Size ", "64", "3", {Cut::Size, 64 * 1024, 3}},
        {"weekly", "-1", "none", {}},
        {"size", "0", "0", {Cut::Size, LogRotationKeys::DefaultSizeKB * 1024, 30}},
    };
    for (const auto &c : cases) {
        TestEnvironment env;
        const QString ini = env.path("ZelkGui.ini");
        env.writeFile("ZelkGui.ini", "[PARAMS]\r\nLogRotation=day\r\n");
        for (const auto &[key, value] : {std::pair{LogRotationKeys::Cut, c.cut},
                                         {LogRotationKeys::SizeKB, c.size},
                                         {LogRotationKeys::Keep, c.keep}})
            if (!value.isEmpty())
                WriteIni(GuiIniKeys::MonitorSection, key, value, ini);
        const LogRotationSettings s = LogRotationSettings::fromIni(ini);
        EXPECT_EQ((QList<qint64>{qint64(s.cut), s.maxBytes, s.keep}),
                  (QList<qint64>{qint64(c.expected.cut), c.expected.maxBytes, c.expected.keep}))
            << c.cut.toStdString();
    }
}

} // namespace
