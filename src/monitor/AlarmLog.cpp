#include "monitor/AlarmLog.h"

#include "monitor/StatusLogFormat.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString AlarmLineEnd = QStringLiteral("\r\n");
} // namespace

QString AlarmLog::header()
{
    return QStringLiteral("Date,Time,UnitID,Module,Event,State,Previous,Severity");
}

QString AlarmLog::plainWords(const QString &state)
{
    // Spaced out, each word has a space after every letter but its last, and
    // the words stand three spaces apart.
    QStringList words = state.split(QStringLiteral("   "));
    for (QString &word : words) {
        if (word.size() < 3)
            return state;
        for (qsizetype i = 1; i < word.size(); i += 2) {
            if (word[i] != QLatin1Char(' ') || word[i - 1] == QLatin1Char(' '))
                return state;
        }
        if (word.size() % 2 == 0)
            return state;
        QString joined;
        for (qsizetype i = 0; i < word.size(); i += 2)
            joined += word[i];
        word = joined;
    }
    return words.join(QLatin1Char(' '));
}

QString AlarmLog::record(const AlarmEvent &e)
{
    const QString fields[] = {e.stamp.toString(QStringLiteral("dd/MM/yyyy")),
                              e.stamp.toString(QStringLiteral("HH:mm:ss")),
                              e.unitId.trimmed(),
                              e.module > 0 ? QString::number(e.module) : QString(),
                              e.event,
                              plainWords(e.state),
                              plainWords(e.previous),
                              AlarmEvent::severityText(e.severity)};
    QString text;
    for (const QString &field : fields) {
        if (&field != fields)
            text += QLatin1Char(',');
        text += StatusLogFormat::quoted(field);
    }
    return text + AlarmLineEnd;
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
    : m_log(header() + AlarmLineEnd)
{
    m_log.setMaxHeld(1000);
    m_file.setAppendOnly(true);
}

void AlarmLog::add(const QList<AlarmEvent> &events)
{
    for (const AlarmEvent &e : events)
        m_log.append(record(e));
    m_unwritten = m_unwritten || !events.isEmpty();
}

void AlarmLog::closeLastLine(const QString &path)
{
    if (path == m_closedPath)
        return;
    const LogFileAccess::Info info = m_access->info(path);
    if (info.exists && info.size > 0 && !m_access->readTail(path, 1).endsWith('\n') &&
        !m_access->append(path, AlarmLineEnd.toLatin1()))
        return; // looked at again with the next write
    m_closedPath = path;
}

bool AlarmLog::write(const QString &path)
{
    if (m_unwritten || m_file.waitingRecords() > 0)
        closeLastLine(path);
    const bool ok = m_file.sync(path, m_log);
    if (ok)
        m_unwritten = false;
    m_notice.afterWrite(ok, m_file, path);
    return ok;
}

bool AlarmLog::writeBeside(const QString &statusLogPath)
{
    if (!m_rotation.isOn())
        return write(pathBeside(statusLogPath));
    // Cut files are only ever written by this log: their lines are whole.
    const bool ok = m_rotation.write(m_file, statusLogPath, m_log);
    if (ok)
        m_unwritten = false;
    m_notice.afterWrite(ok, m_file, m_file.path());
    return ok;
}
