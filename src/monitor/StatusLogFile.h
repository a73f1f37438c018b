#pragma once

#include "DiskLogFileAccess.h"

#include <QByteArray>
#include <QString>

class StatusLog;

// Keeps the log file equal to the status log after every poll. Only what was
// added since the last write goes to the file; the whole log is written when
// the file no longer holds what was written last (log cleared, file removed
// or changed by someone else, another file name, an earlier write failed).
class StatusLogFile
{
public:
    // access: null for the disk; not owned.
    explicit StatusLogFile(LogFileAccess *access = nullptr);

    void setAccess(LogFileAccess *access);
    // False when the file could not be written; the next sync writes it whole.
    [[nodiscard]] bool sync(const QString &path, const StatusLog &log);
    // The next sync writes the whole log.
    void forget() { m_inStep = false; }

    int fullWrites() const { return m_fullWrites; }
    int appends() const { return m_appends; }

private:
    bool fileStillOurs(const QString &path);

    DiskLogFileAccess m_disk;
    LogFileAccess *m_access;
    bool m_inStep = false;
    QString m_path;
    quint64 m_generation = 0;
    qint64 m_written = 0;
    LogFileAccess::Info m_info;
    QByteArray m_tail;
    int m_fullWrites = 0;
    int m_appends = 0;
};
