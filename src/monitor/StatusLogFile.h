#pragma once

#include "monitor/DiskLogFileAccess.h"

#include <QByteArray>
#include <QString>
#include <deque>

class StatusLog;

// Writes the status log to its file after every poll. The first write to a
// file name replaces the file with the header and the log since the last
// Clear; from then on the file is only appended to, so that it keeps every
// record although the window is cleared or keeps only its last lines. A file
// removed or emptied from outside starts again with the header. Records that
// could not be written wait here and go with the next write that succeeds.
class StatusLogFile
{
public:
    // Records waiting at most; beyond that the oldest are dropped.
    static constexpr qsizetype MaxWaiting = 10000;

    // access: null for the disk; not owned.
    explicit StatusLogFile(LogFileAccess *access = nullptr);

    // The file stays the same: what was written is not written again.
    void setAccess(LogFileAccess *access);
    LogFileAccess &access() const { return *m_access; }
    // The first write appends too, so a file kept from earlier runs keeps
    // every byte (the alarm log); nothing is written before a record.
    void setAppendOnly(bool on) { m_appendOnly = on; }
    // Takes the records of the log it has not taken yet and writes every
    // waiting one. False when the file could not be written: they wait.
    [[nodiscard]] bool sync(const QString &path, const StatusLog &log);

    // The next sync goes to path and takes up where the last file left
    // off: what waits stays waiting and nothing is taken twice (a log cut
    // into files). A file that is new or empty starts with the header.
    void continueIn(const QString &path);
    // The file the writer is at; empty before the first sync.
    const QString &path() const { return m_path; }

    // Why the last sync failed, in the system's words; empty after a success.
    QString errorString() const { return m_error; }
    qsizetype waitingRecords() const { return qsizetype(m_waiting.size()); }
    // Records lost for good since this writer was made, because more were
    // waiting than it keeps.
    qint64 droppedRecords() const { return m_dropped; }

    int fullWrites() const { return m_fullWrites; }
    int appends() const { return m_appends; }

private:
    struct Waiting
    {
        quint64 number;
        QByteArray bytes;
    };

    void startFile(const QString &path, const StatusLog &log);
    void take(const StatusLog &log);
    bool fileWantsHeader(const QString &path);

    DiskLogFileAccess m_disk;
    LogFileAccess *m_access;
    QString m_path;
    bool m_appendOnly = false;
    bool m_started = false;
    // The first write to m_path has been made: from now on only appends.
    bool m_written = false;
    // The number of the next record to take from the log.
    quint64 m_next = 0;
    std::deque<Waiting> m_waiting;
    qint64 m_dropped = 0;
    QString m_error;
    int m_fullWrites = 0;
    int m_appends = 0;
};
