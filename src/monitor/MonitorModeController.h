#pragma once

#include "monitor/AlarmLog.h"
#include "monitor/LogFailureNotice.h"
#include "monitor/LogRotation.h"
#include "monitor/PollRecord.h"
#include "monitor/PollSchedule.h"
#include "monitor/StatusLog.h"
#include "monitor/StatusLogFile.h"

#include <QObject>
#include <QString>

class QTimer;

// Monitor Mode's clock and its log: the poll timer, the schedule that says
// which ticks poll, the status log and its file. A file that cannot be
// written is told without waiting for the user, so polling never stops for
// it, and its records wait for the next write that succeeds.
class MonitorModeController : public QObject
{
    Q_OBJECT
public:
    explicit MonitorModeController(QObject *parent = nullptr);

    QTimer *timer() const { return m_timer; }
    const PollSchedule &schedule() const { return m_schedule; }
    const StatusLog &log() const { return m_log; }
    StatusLogFile &file() { return m_file; }
    const StatusLogFile &file() const { return m_file; }
    // The alarm events' file beside the status log.
    AlarmLog &alarms() { return m_alarms; }
    const AlarmLog &alarms() const { return m_alarms; }

    // Polls at the period of the interval box's text; false when the text
    // names none (the timer then stays off).
    bool start(const QString &periodText);
    void stop();
    // One timer tick: true when it falls on a poll time.
    [[nodiscard]] bool tick();

    // The header, when the log is empty; else nothing.
    QString addHeader();
    // Adds a poll's record; returns its status-log line.
    QString addRecord(const PollRecord &record);
    // The log holds as many records as the window shows; the file gets them all.
    void setHeldRecords(int records) { m_log.setMaxHeld(records); }
    // Empties the log as the windows show it; the file keeps its records.
    void clear() { m_log.clear(); }
    // Brings the file up to the log. A failure is told once until a write
    // succeeds again, with the file, the reason and what waits or was lost.
    bool writeFile(const QString &path);
    // How the status log and the alarm log are cut into files.
    void setRotation(const LogRotationSettings &settings);

private:
    QTimer *m_timer;
    PollSchedule m_schedule;
    StatusLog m_log;
    StatusLogFile m_file;
    AlarmLog m_alarms;
    LogRotation m_rotation;
    LogFailureNotice m_notice{QStringLiteral("status log")};
};
