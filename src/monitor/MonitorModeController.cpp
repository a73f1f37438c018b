#include "monitor/MonitorModeController.h"

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
    const bool ok = m_rotation.write(m_file, path, m_log);
    m_notice.afterWrite(ok, m_file, m_file.path());
    return ok;
}

void MonitorModeController::setRotation(const LogRotationSettings &settings)
{
    m_rotation.setSettings(settings);
    // A day's file may be opened again by a later run: it keeps its records.
    m_file.setAppendOnly(m_rotation.isOn());
    m_alarms.setRotation(settings);
}
