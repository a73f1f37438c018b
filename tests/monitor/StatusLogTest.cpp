// The non-window parts of the monitor: the polling schedule, the hours text,
// the status log's stored format, the control-state policy where the window
// tests cannot reach it, and the trend readings over a long run. The status
// log's file: every record reaches it once and in order, across failed
// writes, a Clear, and a file removed or a folder made read-only; and logs cut
// by day or by size: every record lands in exactly one file, each file starts
// with the header, the newest files are kept, across midnight, a removed or
// read-only folder and a full disk.
#include "monitor/StatusLog.h"
#include "AsNobody.h"
#include "LogFiles.h"
#include "MonitorShown.h"
#include "TestSeams.h"
#include "core/Ini.h"
#include "core/SettingsKeys.h"
#include "core/ZelkGlobals.h"
#include "monitor/AlarmLog.h"
#include "monitor/DiskLogFileAccess.h"
#include "monitor/LogRotation.h"
#include "monitor/MonitorControlState.h"
#include "monitor/MonitorSession.h"
#include "monitor/PollSchedule.h"
#include "monitor/StatusLogFile.h"
#include "monitor/StatusLogFormat.h"
#include "monitor/TrendData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

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
    EXPECT_EQ((QList<int>{pollsIn(s, 29), pollsIn(s, 1)}), (QList<int>{0, 1}));
    ASSERT_TRUE(s.start("1   Hr."));
    EXPECT_EQ((QList<int>{pollsIn(s, 59), pollsIn(s, 1)}), (QList<int>{0, 1}));
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
    EXPECT_EQ(env.readFile("Log.csv").toStdString(), stored("alarm_columns.csv").toStdString());

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
        EXPECT_TRUE(highest == 30.0 && gaps == 1) << highest << " " << gaps;
        // The last ten minutes come poll by poll.
        const QList<TrendData::Point> recent = data.points(m, end - 600 * Second + 1, end);
        ASSERT_EQ(recent.size(), 600);
        EXPECT_EQ(recent.back(), (TrendData::Point{end, 12.0 + m, 2.5, false}));
    }
}

const QString LogHeader = StatusLogFormat::header();

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
        EXPECT_TRUE(i != 3 ||
                    (w.writer.waitingRecords() == 2 && w.writer.errorString() == "No space left"));
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
    EXPECT_TRUE(another.errorString() == "Permission denied" && another.waitingRecords() == 3);
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
    EXPECT_EQ(DiskLogFileAccess().readTail(path, 1 << 20).toStdString(),
              (LogHeader + numberedRecords(1, 3)).toStdString());
    QStringList left =
        QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("Log.csv"), AsNobodyProgram}));
}

using Cut = LogRotationSettings::Cut;

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
        r.limit.set(LogHeader.size() + 3 * RecordSize + 2); // the header and three records
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
    const qint64 sizeOf3 = LogHeader.size() + 3 * RecordSize;
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
            EXPECT_TRUE(bytes.startsWith((LogHeader + "\r\n").toUtf8())) << name.toStdString();
            const QByteArray body = bytes.mid(LogHeader.size());
            firsts << QString::number(body.mid(3, 4).toInt());
            records += body;
        }
        EXPECT_EQ(records.toStdString(), numberedRecords(0, c.polls - 1).toStdString());
        EXPECT_EQ(kept, words(c.kept));
        EXPECT_EQ(firsts, words(c.firstRecords));
    }
}

// Catches an alarm log that overwrites the status log or lands elsewhere, one
// whose last record has no line end, states written as the panel's spaced-out
// captions, and a field with a comma or a quote that spills over. (The events
// test sees new lines kept off the open last line of an older file.) And cut
// alarm files named apart from their status log, removed with the status
// log's files or the other way round, or not cut.
TEST(AlarmLogFile, BesideTheStatusLogWholeLinesInPlainWordsAndCutAlike)
{
    for (const auto &[status, alarms] : {std::pair{"/a/Log.csv", "/a/Log-alarms.csv"},
                                         {"/a/log.txt", "/a/log-alarms.txt"},
                                         {"/a/Log-alarms.csv", "/a/Log-alarms-alarms.csv"}})
        EXPECT_EQ(AlarmLog::pathBeside(status), alarms);
    TestEnvironment env;
    const QDateTime at(QDate(2026, 12, 4), QTime(9, 5, 7));
    AlarmLog log;
    log.add({{at, "3", 4, "Module state", "Not Present", "M o d u l e s   O F F",
              AlarmEvent::Severity::Info},
             {at.addSecs(10), " 3 ", 2, "Module state", "Out of Limits Voltage",
              "Module \"Good\", ok", AlarmEvent::Severity::Alarm}});
    ASSERT_TRUE(log.write(env.path("a-alarms.csv")));
    EXPECT_EQ(env.readFile("a-alarms.csv").toStdString(),
              "Date,Time,UnitID,Module,Event,State,Previous,Severity\r\n"
              "04/12/2026,09:05:07,3,4,Module state,Not Present,Modules OFF,Info\r\n"
              "04/12/2026,09:05:17,3,2,Module state,Out of Limits Voltage,"
              "\"Module \"\"Good\"\", ok\",Alarm\r\n");

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
