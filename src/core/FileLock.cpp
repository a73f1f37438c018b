#include "core/FileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace IniEngine {
namespace {

// Long enough for another program's save to finish, short enough that a wedged
// lock does not freeze the window for good.
constexpr int LockTimeoutMs = 5000;

QString lockedText()
{
    return QStringLiteral("Another program keeps the file locked");
}

} // namespace

FileLock::FileLock(const QString &path)
#ifdef Q_OS_UNIX
    : m_folder(QFile::encodeName(QFileInfo(path).absolutePath()))
#else
    : m_lock(path + QStringLiteral(".lock"))
#endif
{}

FileLock::~FileLock()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
#endif
}

bool FileLock::acquire()
{
#ifdef Q_OS_UNIX
    m_fd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = qt_error_string(errno);
        return false;
    }
    const QDeadlineTimer deadline(LockTimeoutMs);
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        // A file system without flock() still gets its writes, unlocked.
        if (errno != EWOULDBLOCK)
            return true;
        if (deadline.hasExpired()) {
            m_error = lockedText();
            return false;
        }
        QThread::msleep(2);
    }
    return true;
#else
    if (m_lock.tryLock(LockTimeoutMs))
        return true;
    m_error = lockedText();
    return false;
#endif
}

} // namespace IniEngine
