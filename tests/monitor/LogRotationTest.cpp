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
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/resource.h>

namespace {

using Cut = LogRotationSettings::Cut;

QByteArray numberedLine(int i)
{
    return QStringLiteral("\r\nr%1,").arg(i, 4, 10, QLatin1Char('0')).toUtf8();
}

const QByteArray StatusHeader = StatusLogFormat::header().toUtf8();

// The disk, keeping what each removed file held; a folder can be made to
// refuse new files and removals as a read-only folder does.
class KeepingAccess final : public LogFileAccess
{
public:
    bool folderWritable = true;
    std::map<QString, QByteArray> removed; // by file name
    DiskLogFileAccess disk;

    Info info(const QString &path) override { return disk.info(path); }
    QByteArray readTail(const QString &path, qint64 bytes) override
    {
        return disk.readTail(path, bytes);
    }
    bool replace(const QString &path, QByteArrayView content) override
    {
        return allowed(path) && disk.replace(path, content);
    }
    bool append(const QString &path, QByteArrayView tail) override
    {
        return allowed(path) && disk.append(path, tail);
    }
    QStringList fileNames(const QString &folder) override { return disk.fileNames(folder); }
    bool remove(const QString &path) override
    {
        if (!folderWritable)
            return false;
        removed[QFileInfo(path).fileName()] = disk.readTail(path, 1 << 20);
        return disk.remove(path);
    }
    QString errorString() const override
    {
        return m_refused ? "Permission denied" : disk.errorString();
    }

private:
    bool allowed(const QString &path)
    {
        m_refused = !folderWritable && !info(path).exists;
        return !m_refused;
    }
    bool m_refused = false;
};

// Lifts a file size limit that stands in for a full disk, also when a test fails.
struct FileSizeLimit
{
    rlimit saved{};
    void (*handler)(int) = SIG_DFL;
    bool on = false;
    void set(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = bytes;
        on = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    void lift()
    {
        if (std::exchange(on, false)) {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, handler);
        }
    }
    ~FileSizeLimit() { lift(); }
};

// A status log written through the rotation into env's "logs" folder, one
// record per poll.
struct RotatedLog
{
    TestEnvironment env;
    KeepingAccess access;
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

using LogFault = std::function<void(RotatedLog &)>;

const LogFault FolderRemoved = [](RotatedLog &r) {
    for (const QString &name : QDir(r.folder).entryList(QDir::Files))
        r.access.removed[name] = r.access.disk.readTail(QDir(r.folder).filePath(name), 1 << 20);
    QDir(r.folder).removeRecursively();
};
const LogFault FolderBack = [](RotatedLog &r) {
    QDir().mkpath(r.folder);
};
const LogFault FolderReadOnly = [](RotatedLog &r) {
    r.access.folderWritable = false;
};
const LogFault FolderWritable = [](RotatedLog &r) {
    r.access.folderWritable = true;
};
// Room for the header and three records in any one file.
const LogFault FullDisk = [](RotatedLog &r) {
    r.limit.set(StatusHeader.size() + 3 * numberedLine(0).size() + 2);
};
const LogFault DiskFreedAgain = [](RotatedLog &r) {
    r.limit.lift();
};

TEST(LogRotation, EveryRecordOnceEachFileWithItsHeaderTheNewestKept)
{
    // Catches a record lost or written twice at a cut (the writer started
    // afresh instead of handed on), a file without its header, a cut a
    // record late or early at midnight, a size cut that ignores the size, a
    // new file that could not be made taking the records down with it, and
    // the wrong files removed.
    const qint64 sizeOf3 = StatusHeader.size() + 3 * numberedLine(0).size();
    const QDateTime lateEvening(QDate(2026, 12, 7), QTime(23, 59, 30));
    const QDateTime evening(QDate(2026, 12, 7), QTime(18, 0));
    const QDateTime morning(QDate(2026, 12, 8), QTime(10, 30));
    const struct
    {
        const char *name;
        LogRotationSettings settings;
        QDateTime start;
        int stepSecs, polls;
        std::map<int, LogFault> faults; // before the poll of that index
        std::set<int> failing;          // polls whose write fails
        QStringList kept;
        QList<int> firstRecords; // of every file, in name order
    } cases[] = {
        {"midnight",
         {Cut::Day, 1 << 20, 2},
         lateEvening,
         10,
         6,
         {},
         {},
         {"Log-2026-12-07.csv", "Log-2026-12-08.csv"},
         {0, 3}},
        {"days beyond those kept",
         {Cut::Day, 1 << 20, 2},
         lateEvening,
         8 * 3600,
         8,
         {},
         {},
         {"Log-2026-12-09.csv", "Log-2026-12-10.csv"},
         {0, 1, 4, 7}},
        {"size",
         {Cut::Size, sizeOf3, 3},
         morning,
         1,
         10,
         {},
         {},
         {"Log-2026-12-08T103003.csv", "Log-2026-12-08T103006.csv", "Log-2026-12-08T103009.csv"},
         {0, 3, 6, 9}},
        {"folder removed over midnight",
         {Cut::Day, 1 << 20, 5},
         evening,
         2 * 3600,
         7,
         {{3, FolderRemoved}, {5, FolderBack}},
         {3, 4},
         {"Log-2026-12-08.csv"},
         {0, 3}},
        {"read-only folder at midnight",
         {Cut::Day, 1 << 20, 1},
         evening,
         2 * 3600,
         7,
         {{2, FolderReadOnly}, {5, FolderWritable}},
         {},
         {"Log-2026-12-08.csv"},
         {0, 5}},
        {"full disk",
         {Cut::Size, sizeOf3 + 3 * numberedLine(0).size(), 10},
         morning,
         1,
         9,
         {{2, FullDisk}, {6, DiskFreedAgain}},
         {3, 4, 5},
         {"Log-2026-12-08T103000.csv", "Log-2026-12-08T103007.csv"},
         {0, 7}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RotatedLog run(c.settings);
        for (int i = 0; i < c.polls; ++i) {
            if (auto f = c.faults.find(i); f != c.faults.end())
                f->second(run);
            run.env.clock.now = c.start.addSecs(qint64(i) * c.stepSecs);
            run.log.append(QString::fromUtf8(numberedLine(i)));
            EXPECT_EQ(run.rotation.write(run.writer, run.base, run.log), !c.failing.count(i)) << i;
        }
        run.limit.lift();
        QStringList kept;
        QByteArray records;
        QList<int> firsts;
        for (const auto &[name, bytes] : run.files(&kept)) {
            EXPECT_TRUE(bytes.startsWith(StatusHeader + "\r\n")) << name.toStdString();
            const QByteArray body = bytes.mid(StatusHeader.size());
            firsts.append(body.mid(3, 4).toInt());
            records += body;
        }
        QByteArray expected;
        for (int i = 0; i < c.polls; ++i)
            expected += numberedLine(i);
        EXPECT_EQ(records.toStdString(), expected.toStdString());
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(firsts, c.firstRecords);
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
