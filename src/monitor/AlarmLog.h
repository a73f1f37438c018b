#pragma once

#include "monitor/AlarmEvent.h"
#include "monitor/LogFailureNotice.h"
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
    // The stored format: a header, then a CR LF and one event per line.
    static QString header();
    static QString record(const AlarmEvent &event);
    // The file beside the status log and named after it: "Log.csv" gives
    // "Log-alarms.csv", so the two are never one file.
    static QString pathBeside(const QString &statusLogPath);

    AlarmLog();
    // Null for the disk; not owned.
    void setAccess(LogFileAccess *access) { m_file.setAccess(access); }
    void add(const QList<AlarmEvent> &events);
    // Brings the file up to the events added; false when it could not be
    // written (they wait for the next write).
    bool write(const QString &path);
    const StatusLogFile &file() const { return m_file; }

private:
    StatusLog m_log;
    StatusLogFile m_file;
    LogFailureNotice m_notice{QStringLiteral("alarm log")};
};
