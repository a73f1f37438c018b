#include "monitor/AlarmLog.h"

#include "monitor/StatusLogFormat.h"

#include <QDir>
#include <QFileInfo>

QString AlarmLog::header()
{
    return QStringLiteral("Date,Time,UnitID,Module,Event,State,Previous,Severity");
}

QString AlarmLog::record(const AlarmEvent &e)
{
    const QString fields[] = {e.stamp.toString(QStringLiteral("dd/MM/yyyy")),
                              e.stamp.toString(QStringLiteral("HH:mm:ss")),
                              e.unitId.trimmed(),
                              e.module > 0 ? QString::number(e.module) : QString(),
                              e.event,
                              e.state,
                              e.previous,
                              AlarmEvent::severityText(e.severity)};
    QString text = QStringLiteral("\r\n");
    for (const QString &field : fields) {
        if (&field != fields)
            text += QLatin1Char(',');
        text += StatusLogFormat::quoted(field);
    }
    return text;
}

QString AlarmLog::pathBeside(const QString &statusLogPath)
{
    const QFileInfo info(statusLogPath);
    const QString name = info.fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString alarms = dot < 0 ? name + QStringLiteral("-alarms")
                                   : name.left(dot) + QStringLiteral("-alarms") + name.mid(dot);
    return info.dir().filePath(alarms);
}

AlarmLog::AlarmLog()
    : m_log(header())
{
    m_log.setMaxHeld(1000);
    m_file.setAppendOnly(true);
}

void AlarmLog::add(const QList<AlarmEvent> &events)
{
    for (const AlarmEvent &e : events)
        m_log.append(record(e));
}

bool AlarmLog::write(const QString &path)
{
    const bool ok = m_file.sync(path, m_log);
    m_notice.afterWrite(ok, m_file, path);
    return ok;
}
