#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

class LogFileAccess;
class StatusLog;
class StatusLogFile;

// Cutting the status log and the alarm log into files a person can open.
// Read from [MONITOR] of ZelkGui.ini when the monitor opens; every key
// absent means no cuts, and the files behave as they always have.
//
//   LogRotation=day|size   how a log is cut; anything else: not cut
//   LogRotationSizeKB=N    a size cut comes once a file has reached N KiB
//                          (default 10240); the record that reaches it is
//                          the file's last, so no record is split
//   LogRotationKeep=N      the newest N files of each log are kept, the one
//                          being written among them (default 30, at least 1)
//
// Names sort by time. "Log.csv" cut by day gives "Log-2026-12-08.csv" (the
// day of the records in it; a run that starts on a day whose file exists goes
// on in it). Cut by size it gives "Log-2026-12-08T103000.csv" (when the file
// was started; each run starts a file, and a name already taken moves on by
// a second). The alarm log's files stand beside them as AlarmLog::pathBeside
// names them: "Log-2026-12-08-alarms.csv".
namespace LogRotationKeys {
inline const QString Cut = QStringLiteral("LogRotation");
inline const QString CutByDay = QStringLiteral("day");
inline const QString CutBySize = QStringLiteral("size");
inline const QString SizeKB = QStringLiteral("LogRotationSizeKB");
inline constexpr qint64 DefaultSizeKB = 10240;
inline const QString Keep = QStringLiteral("LogRotationKeep");
inline constexpr int DefaultKeep = 30;
} // namespace LogRotationKeys

struct LogRotationSettings
{
    enum class Cut { Off, Day, Size };
    Cut cut = Cut::Off;
    qint64 maxBytes = LogRotationKeys::DefaultSizeKB * 1024;
    int keep = LogRotationKeys::DefaultKeep;

    static LogRotationSettings fromIni(const QString &guiIniPath);
    bool operator==(const LogRotationSettings &) const = default;
};

// Decides which file each write of one log goes to, and removes the oldest
// files beyond those kept. A cut hands the writer on to the next file
// (StatusLogFile::continueIn): records waiting there follow into the new
// file, none is taken twice. A new file that cannot be made (a read-only
// folder) leaves the records in the last one; the cut is tried at the next
// write.
class LogRotation
{
public:
    // How a name made from the status log's name becomes this log's name:
    // null for the status log itself, AlarmLog::pathBeside for the alarm log.
    using Dress = QString (*)(const QString &statusLogPath);
    explicit LogRotation(Dress dress = nullptr)
        : m_dress(dress)
    {}

    void setSettings(const LogRotationSettings &settings);
    const LogRotationSettings &settings() const { return m_settings; }
    bool isOn() const { return m_settings.cut != LogRotationSettings::Cut::Off; }

    // Brings the file up to the log. statusLogPath: the status log's name
    // as the user gave it. False when the records could not be written:
    // they wait in the writer.
    [[nodiscard]] bool write(StatusLogFile &file, const QString &statusLogPath,
                             const StatusLog &log);

    // The name of a file of the status log started at the moment given.
    static QString cutPath(const QString &statusLogPath, LogRotationSettings::Cut cut,
                           const QDateTime &start);

private:
    QString dressed(const QString &statusLogPath) const
    {
        return m_dress ? m_dress(statusLogPath) : statusLogPath;
    }
    QString nextPath(LogFileAccess &access, const QDateTime &now, QDateTime *started) const;
    bool cutDue(LogFileAccess &access, const QDateTime &now) const;
    void removeOldest(LogFileAccess &access) const;

    Dress m_dress;
    LogRotationSettings m_settings;
    QString m_base;    // the status log's name at the last write
    QString m_current; // the file being written; empty before the first write
    QDateTime m_start; // when m_current was started, as its name has it
    QDate m_day;       // the day m_current was started
    bool m_pruned = false;
};
