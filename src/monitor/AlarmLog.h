#pragma once

#include "monitor/AlarmEvent.h"
#include "monitor/LogFailureNotice.h"
#include "monitor/LogRotation.h"
#include "monitor/StatusLog.h"
#include "monitor/StatusLogFile.h"

#include <QList>
#include <QString>

// The alarm log: one line per event beside the status log, while Autosave is
// on. The file is only ever appended to, across runs too, so its earlier
// lines stay as they are; a file that cannot be written is handled as the
// status log's is (the lines wait, the user gets a notice).
class AlarmLog
{
public:
    // The stored format: a header, then one event per line, each line ended
    // by CR LF; states in plain words, as a spreadsheet filters them.
    static QString header();
    static QString record(const AlarmEvent &event);
    // A state as the file keeps it: a caption the panel spaces out letter by
    // letter ("O u t p u t   F a u l t !") in plain words ("Output Fault!").
    static QString plainWords(const QString &state);
    // The file beside the status log and named after it: "Log.csv" gives
    // "Log-alarms.csv", so the two are never one file.
    static QString pathBeside(const QString &statusLogPath);

    AlarmLog();
    // Null for the disk; not owned.
    void setAccess(LogFileAccess *access)
    {
        m_access = access ? access : &m_disk;
        m_file.setAccess(access);
    }
    void add(const QList<AlarmEvent> &events);
    // Brings the file up to the events added; false when it could not be
    // written (they wait for the next write).
    bool write(const QString &path);
    // The same beside the status log of that name (pathBeside), in the
    // files the rotation cuts when it is on.
    bool writeBeside(const QString &statusLogPath);
    void setRotation(const LogRotationSettings &settings) { m_rotation.setSettings(settings); }
    const StatusLogFile &file() const { return m_file; }

private:
    // Ends a last line left open (by an earlier version of the file) before
    // the first new line goes in after it.
    void closeLastLine(const QString &path);

    DiskLogFileAccess m_disk;
    LogFileAccess *m_access = &m_disk;
    QString m_closedPath; // the file whose last line was looked at
    bool m_unwritten = false;
    StatusLog m_log;
    StatusLogFile m_file;
    LogRotation m_rotation{&AlarmLog::pathBeside};
    LogFailureNotice m_notice{QStringLiteral("alarm log")};
};
