#pragma once

#include <QString>
#include <QtGlobal>

class StatusLogFile;

// Tells the user that a log file cannot be written, without waiting for an
// answer, so polling never stops for it: once when a streak of failures
// begins, and once more when its records start to be lost for good. A
// write that succeeds ends the streak.
class LogFailureNotice
{
public:
    // name: how the texts call the log ("status log").
    explicit LogFailureNotice(QString name)
        : m_name(std::move(name))
    {}

    // After each write of the file: ok is its outcome.
    void afterWrite(bool ok, const StatusLogFile &file, const QString &path);

private:
    QString m_name;
    bool m_failureShown = false;
    qint64 m_droppedAtStreak = 0; // records lost when the streak of failures began
    qint64 m_droppedTold = 0;
};
