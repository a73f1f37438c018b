#include "monitor/StatusLogFile.h"

#include "monitor/StatusLog.h"

StatusLogFile::StatusLogFile(LogFileAccess *access)
    : m_access(access ? access : &m_disk)
{}

void StatusLogFile::setAccess(LogFileAccess *access)
{
    m_access = access ? access : &m_disk;
}

void StatusLogFile::startFile(const QString &path, const StatusLog &log)
{
    // A new file starts with what the window shows. Records still waiting
    // from before the last Clear were never written anywhere: they keep
    // their place in front.
    const quint64 from = log.firstShown();
    while (!m_waiting.empty() && m_waiting.back().number >= from)
        m_waiting.pop_back();
    m_next = from;
    m_path = path;
    m_started = true;
    m_written = false;
}

void StatusLogFile::continueIn(const QString &path)
{
    if (!m_started || path == m_path)
        return; // a first file starts as any file does
    m_path = path;
    // Appended to, never replaced: a file of the same name may hold
    // records already.
    m_written = true;
}

void StatusLogFile::take(const StatusLog &log)
{
    if (m_next < log.firstHeld()) {
        m_dropped += qint64(log.firstHeld() - m_next);
        m_next = log.firstHeld();
    }
    for (; m_next < log.nextNumber(); ++m_next)
        m_waiting.push_back({m_next, log.record(m_next)});
    while (qsizetype(m_waiting.size()) > MaxWaiting) {
        m_waiting.pop_front();
        ++m_dropped;
    }
}

bool StatusLogFile::fileWantsHeader(const QString &path)
{
    const LogFileAccess::Info info = m_access->info(path);
    return !info.exists || info.size == 0;
}

bool StatusLogFile::sync(const QString &path, const StatusLog &log)
{
    if (!m_started || path != m_path)
        startFile(path, log);
    take(log);
    if ((m_written || m_appendOnly) && m_waiting.empty()) {
        m_error.clear();
        return true;
    }

    QByteArray bytes;
    if ((!m_written && !m_appendOnly) || fileWantsHeader(path))
        bytes = log.headerText().toUtf8();
    for (const Waiting &w : m_waiting)
        bytes += w.bytes;
    bool ok = false;
    if (m_written || m_appendOnly) {
        ok = m_access->append(path, bytes);
        ++m_appends;
    } else {
        ok = m_access->replace(path, bytes);
        ++m_fullWrites;
    }
    if (!ok) {
        m_error = m_access->errorString();
        if (m_error.isEmpty())
            m_error = QStringLiteral("Unknown error");
        return false;
    }
    m_waiting.clear();
    m_written = true;
    m_error.clear();
    return true;
}
