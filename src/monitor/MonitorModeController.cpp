#include "monitor/MonitorModeController.h"

#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core_windows/ControlNames.h"
#include "monitor/StatusLogFormat.h"

#include <QTimer>

MonitorModeController::MonitorModeController(QObject *parent)
    : QObject(parent)
    , m_timer(named(new QTimer(this), QStringLiteral("Timer2")))
{}

bool MonitorModeController::start(const QString &periodText)
{
    m_timer->stop();
    if (!m_schedule.start(periodText))
        return false;
    m_timer->setInterval(m_schedule.intervalMs());
    m_timer->start();
    return true;
}

void MonitorModeController::stop()
{
    m_timer->stop();
    m_schedule.stop();
}

bool MonitorModeController::tick()
{
    return m_schedule.tick();
}

QString MonitorModeController::addHeader()
{
    return m_log.addHeader() ? StatusLogFormat::header() : QString();
}

QString MonitorModeController::addRecord(const PollRecord &record)
{
    const QString line = StatusLogFormat::logRecord(record);
    m_log.append(line);
    return line;
}

bool MonitorModeController::writeFile(const QString &path)
{
    if (m_file.sync(path, m_log)) {
        m_failureShown = false;
        m_droppedAtStreak = m_droppedTold = m_file.droppedRecords();
        return true;
    }
    const qint64 dropped = m_file.droppedRecords();
    if (!m_failureShown) {
        m_failureShown = true;
        m_droppedAtStreak = m_droppedTold = dropped;
        Seams::dialogs().Notice(
            QStringLiteral("The status log could not be written to ") + path +
                QStringLiteral(": ") + m_file.errorString() + QStringLiteral(".\r\n") +
                QStringLiteral("Monitoring goes on; the records wait and are written as soon as "
                               "the file can be written again."),
            MsgIcon::Exclamation, ZelkGlobals::AppTitle);
    } else if (dropped > m_droppedTold && m_droppedTold == m_droppedAtStreak) {
        // Told once more in a streak: when the first records are lost for good.
        m_droppedTold = dropped;
        Seams::dialogs().Notice(
            QStringLiteral("The status log still cannot be written to ") + path +
                QStringLiteral(": ") + m_file.errorString() + QStringLiteral(".\r\n") +
                QStringLiteral("Only the last %1 records can wait; older ones are being lost "
                               "(%2 so far).")
                    .arg(StatusLogFile::MaxWaiting)
                    .arg(dropped),
            MsgIcon::Exclamation, ZelkGlobals::AppTitle);
    }
    return false;
}
