#include "StatusLogFile.h"

#include "StatusLog.h"

namespace {
// Enough of the end of the file to notice an edit that kept size and time.
constexpr qint64 TailBytes = 64;
} // namespace

StatusLogFile::StatusLogFile(LogFileAccess *access)
    : m_access(access ? access : &m_disk)
{}

void StatusLogFile::setAccess(LogFileAccess *access)
{
    m_access = access ? access : &m_disk;
    forget();
}

bool StatusLogFile::fileStillOurs(const QString &path)
{
    const LogFileAccess::Info now = m_access->info(path);
    return now == m_info && m_access->readTail(path, m_tail.size()) == m_tail;
}

bool StatusLogFile::sync(const QString &path, const StatusLog &log)
{
    const QByteArray &bytes = log.bytes();
    const bool canAppend = m_inStep && path == m_path && log.generation() == m_generation &&
                           bytes.size() >= m_written && fileStillOurs(path);
    bool written = false;
    if (canAppend) {
        if (bytes.size() == m_written)
            return true;
        written = m_access->append(path, QByteArrayView(bytes).sliced(m_written));
        ++m_appends;
    } else {
        written = m_access->replace(path, bytes);
        ++m_fullWrites;
    }
    m_inStep = written;
    if (!written)
        return false;
    m_path = path;
    m_generation = log.generation();
    m_written = bytes.size();
    m_info = m_access->info(path);
    m_tail = bytes.right(qMin<qint64>(TailBytes, bytes.size()));
    return true;
}
