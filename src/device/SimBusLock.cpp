#include "device/SimBusLock.h"

#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "device/SimBusReport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <mutex>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

struct Taken
{
    int fd = -1;
    int users = 0;
};

std::mutex &registryMutex()
{
    static auto *mutex = new std::mutex(); // outlives the buses, as the registry does
    return *mutex;
}

// Locks this process holds, by the lock file's path.
QHash<QString, Taken> &registry()
{
    // Never destroyed: a bus held by a global (the program's device object)
    // lets its lock go after every static of this file is gone.
    static auto *locks = new QHash<QString, Taken>();
    return *locks;
}

QString thisProgram()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty())
        name = QStringLiteral("a program");
    return QStringLiteral("%1 (process %2)").arg(name).arg(QCoreApplication::applicationPid());
}

} // namespace

SimBusLock::SimBusLock(const QString &busFile)
{
#ifdef Q_OS_UNIX
    if (busFile.isEmpty())
        return;
    m_key = QFileInfo(busFile).absoluteFilePath() + QStringLiteral(".lock");
    const std::lock_guard<std::mutex> guard(registryMutex());
    Taken &taken = registry()[m_key];
    if (taken.users > 0) {
        ++taken.users;
        return;
    }
    // Closed on exec, so a program this one starts does not keep the bus.
    const int fd = ::open(QFile::encodeName(m_key).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        // Nothing can be written beside the bus: neither can the bus be overwritten.
        registry().remove(m_key);
        m_key.clear();
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly))
            m_holder = QString::fromUtf8(file.readAll()).trimmed();
        file.close();
        ::close(fd);
        if (m_holder.isEmpty())
            m_holder = QStringLiteral("another program");
        registry().remove(m_key);
        m_key.clear();
        m_held = false;
        return;
    }
    const QByteArray name = thisProgram().toUtf8() + '\n';
    if (::ftruncate(fd, 0) != 0 || ::write(fd, name.constData(), size_t(name.size())) < 0) {
        // The lock holds without the name; a second program just cannot say whose it is.
    }
    taken.fd = fd;
    taken.users = 1;
#else
    Q_UNUSED(busFile);
#endif
}

SimBusLock::~SimBusLock()
{
#ifdef Q_OS_UNIX
    if (m_key.isEmpty())
        return;
    const std::lock_guard<std::mutex> guard(registryMutex());
    const auto it = registry().find(m_key);
    if (it == registry().end() || --it->users > 0)
        return;
    ::close(it->fd); // drops the lock
    registry().erase(it);
#endif
}

void SimBusLock::tellInUse(const QString &applicationFolder) const
{
    const QString text =
        QStringLiteral("The simulated bus in %1 is in use by %2. Its units belong to one program "
                       "at a time, so this one leaves them alone: close the other program and "
                       "start again, or share the bus through the unit emulator (zelk-unitsim).")
            .arg(applicationFolder, m_holder);
    SimBusReport::toErrorFile(applicationFolder, text);
    Seams::dialogs().MsgBox(text, MsgButtons::OK, MsgIcon::Critical, ZelkGlobals::AppTitle);
}
