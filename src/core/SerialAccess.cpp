#include "core/SerialAccess.h"

#include <QFile>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SerialAccess {

namespace {
const QString AdviceStart = QStringLiteral("You may not open ");
}

QString permissionText(const QString &portPath, int openErrno)
{
    if (openErrno != EACCES && openErrno != EPERM)
        return {};
    struct stat info = {};
    if (::stat(QFile::encodeName(portPath).constData(), &info) != 0)
        return {};
    // The device file's group is the one that grants the port (dialout on
    // Debian); a group without a name is named by its number.
    const group *owner = ::getgrgid(info.st_gid);
    const QString groupName =
        owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
    return (AdviceStart + QStringLiteral("%1: the serial port exists, but only members of the "
                                         "group %2 may use it. Add yourself to the group with\n"
                                         "    sudo adduser $USER %2\n"
                                         "then log out and back in."))
        .arg(portPath, groupName);
}

QString permissionText(const QString &portPath)
{
    const QByteArray path = QFile::encodeName(portPath);
    if (::access(path.constData(), F_OK) != 0 || ::access(path.constData(), R_OK | W_OK) == 0)
        return {};
    return permissionText(portPath, errno);
}

QString adviceIn(const QString &reply)
{
    const qsizetype at = reply.indexOf(AdviceStart);
    return at < 0 ? QString() : reply.mid(at);
}

} // namespace SerialAccess
