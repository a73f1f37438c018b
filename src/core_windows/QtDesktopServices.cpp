#include "core_windows/QtDesktopServices.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
QtDesktopServices::HelpHandler &helpHandler()
{
    static QtDesktopServices::HelpHandler handler;
    return handler;
}

// A runtime folder is only private if it is the user's own: a lock in a
// folder others can write could be blocked by their files.
bool isOwnRuntimeFolder(const QString &folder)
{
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return false;
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(folder);
    struct stat info = {};
    return ::stat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && ::access(name.constData(), W_OK | X_OK) == 0;
#else
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
#endif
}

void reportStartWithoutLock(const QString &why)
{
    qWarning("Starting without the single-copy lock: %s", qPrintable(why));
}
} // namespace

QtDesktopServices::QtDesktopServices(QString lockName)
    : m_lockName(std::move(lockName))
{}

QtDesktopServices::~QtDesktopServices()
{
#ifdef Q_OS_UNIX
    if (m_lockFd >= 0)
        ::close(m_lockFd); // lets the next copy start
#endif
    if (m_busy)
        QApplication::restoreOverrideCursor();
    if (m_hidden)
        QApplication::restoreOverrideCursor();
}

QString QtDesktopServices::singleInstanceLockPath(const QString &applicationFolder)
{
    const QByteArray folderHash =
        QCryptographicHash::hash(applicationFolder.toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QDir folder(isOwnRuntimeFolder(runtimeFolder) ? runtimeFolder : applicationFolder);
    return folder.filePath(QStringLiteral("zelksoft-") + QString::fromLatin1(folderHash) +
                           QStringLiteral(".lock"));
}

void QtDesktopServices::setHelpHandler(HelpHandler handler)
{
    helpHandler() = std::move(handler);
}

bool QtDesktopServices::openTextFile(const QString &path)
{
    // A plain-text editor from the environment first, as a technician expects.
    const QString editor = qEnvironmentVariable("VISUAL", qEnvironmentVariable("EDITOR"));
    if (!editor.isEmpty() && QProcess::startDetached(editor, {path}))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktopServices::openUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

bool QtDesktopServices::showHelpTopic(const QString &helpFile, const QString &topic,
                                      HelpCommand command)
{
    return helpHandler() && helpHandler()(helpFile, topic, command);
}

QString QtDesktopServices::systemInfoProgram()
{
    for (const char *name :
         {"hardinfo", "gnome-system-monitor", "ksysguard", "xfce4-taskmanager"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

bool QtDesktopServices::runDetached(const QString &commandLine)
{
    QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty())
        return false;
    const QString program = parts.takeFirst();
    return QProcess::startDetached(program, parts);
}

bool QtDesktopServices::claimSingleInstance()
{
#ifdef Q_OS_UNIX
    // An flock() on the lock file: the kernel drops it when the copy ends,
    // however it ends, and taking it writes nothing to the disk (a lock file
    // synced to a busy disk held start-up up for tens of milliseconds).
    if (m_lockFd >= 0)
        return true;
    const QByteArray name = QFile::encodeName(m_lockName);
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // A lock file made by another user may be ours to read only; flock()
        // works on such a descriptor all the same.
        const int writeError = errno;
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            reportStartWithoutLock(
                QStringLiteral("cannot open %1 (%2)")
                    .arg(m_lockName, QString::fromLocal8Bit(std::strerror(writeError))));
            return true;
        }
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int lockError = errno;
        ::close(fd);
        if (lockError == EWOULDBLOCK)
            return false; // another copy holds it
        reportStartWithoutLock(
            QStringLiteral("cannot lock %1 (%2)")
                .arg(m_lockName, QString::fromLocal8Bit(std::strerror(lockError))));
        return true;
    }
    m_lockFd = fd;
    return true;
#else
    if (m_lock)
        return true;
    auto lock = std::make_unique<QLockFile>(m_lockName);
    lock->setStaleLockTime(0); // a crashed copy's lock is taken over by process check
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return false; // another copy holds it
        reportStartWithoutLock(QStringLiteral("cannot create %1").arg(m_lockName));
        return true;
    }
    m_lock = std::move(lock);
    return true;
#endif
}

void QtDesktopServices::setBusyPointer(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtDesktopServices::setPointerHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden)
        QApplication::setOverrideCursor(Qt::BlankCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtDesktopServices::setActiveWindowEnabled(bool enabled)
{
    if (!enabled) {
        m_disabledWindow = QApplication::activeWindow();
        if (m_disabledWindow)
            m_disabledWindow->setEnabled(false);
        return;
    }
    // The window that was disabled is no longer active: enable that one.
    QWidget *window = m_disabledWindow ? m_disabledWindow.data() : QApplication::activeWindow();
    if (window)
        window->setEnabled(true);
    m_disabledWindow.clear();
}
