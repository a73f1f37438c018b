#include "core/SerialAccess.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace SerialAccess {

namespace {

// adviceIn finds every variant by this start.
const QString AdviceStart = QStringLiteral("You may not open ");

bool readWrite(uint bits)
{
    return (bits & 06) == 06;
}

QString ownerNameOf(uid_t uid)
{
    const passwd *entry = ::getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupNameOf(gid_t gid)
{
    const group *entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

// The groups the user database gives this user: a group joined since this
// session began is here but not among the process's groups.
bool inGroupPerDatabase(gid_t gid)
{
    const passwd *me = ::getpwuid(::geteuid());
    if (!me)
        return false;
    const QByteArray name(me->pw_name);
    const gid_t primary = me->pw_gid;
    int count = 32;
    std::vector<gid_t> groups;
    for (int tries = 0; tries < 3; ++tries) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(name.constData(), primary, groups.data(), &count) >= 0) {
            groups.resize(static_cast<size_t>(count));
            return std::find(groups.begin(), groups.end(), gid) != groups.end();
        }
    }
    return false;
}

bool processHasGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Who may read and write the file by its mode, for the user to read.
QString whoMay(const PortFile &file)
{
    if (readWrite(file.mode))
        return QStringLiteral("anyone may read and write it");
    QStringList who;
    if (readWrite(file.mode >> 6))
        who << QStringLiteral("its owner");
    if (readWrite(file.mode >> 3))
        who << QStringLiteral("members of the group %1").arg(file.groupName);
    if (who.isEmpty())
        return QStringLiteral("only the administrator may read and write it");
    return QStringLiteral("only %1 may read and write it").arg(who.join(QStringLiteral(" and ")));
}

// "crw-rw----", as ls shows a mode.
QString modeText(uint mode)
{
    QString text(10, QLatin1Char('-'));
    const std::pair<uint, char> types[] = {{S_IFCHR, 'c'}, {S_IFBLK, 'b'}, {S_IFDIR, 'd'},
                                           {S_IFLNK, 'l'}, {S_IFIFO, 'p'}, {S_IFSOCK, 's'}};
    for (const auto &[type, letter] : types) {
        if ((mode & S_IFMT) == type)
            text[0] = QLatin1Char(letter);
    }
    const char letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) {
        if (mode & (0400u >> i))
            text[i + 1] = QLatin1Char(letters[i]);
    }
    // setuid, setgid and sticky share the execute column, as ls shows them:
    // lower case over an execute bit, upper case without one.
    const auto special = [&text](int column, bool set, QChar overExecute, QChar alone) {
        if (set)
            text[column] = text[column] == QLatin1Char('-') ? alone : overExecute;
    };
    special(3, mode & S_ISUID, u's', u'S');
    special(6, mode & S_ISGID, u's', u'S');
    special(9, mode & S_ISVTX, u't', u'T');
    return text;
}

} // namespace

QString adviceFor(const PortFile &file, const Standing &standing)
{
    const QString start = AdviceStart + file.path + QStringLiteral(": ");
    // The owner is judged by the owner's bits alone: a group does not help.
    const bool groupHelps = !standing.owner && readWrite(file.mode >> 3);
    if (groupHelps && !standing.inGroupPerDatabase && !standing.processHasGroup) {
        return start + QStringLiteral("the serial port exists, but only members of the group %1 "
                                      "may use it. Add yourself to the group with\n"
                                      "    sudo adduser $USER %1\n"
                                      "then log out and back in.")
                           .arg(file.groupName);
    }
    if (groupHelps && standing.inGroupPerDatabase && !standing.processHasGroup) {
        return start + QStringLiteral("you are a member of the group %1, which may use it, but "
                                      "this session began before you joined it. Log out and back "
                                      "in so that the session has the group.")
                           .arg(file.groupName);
    }
    QString text =
        start + QStringLiteral("it belongs to %1, group %2, mode %3: %4.")
                    .arg(file.ownerName, file.groupName, modeText(file.mode), whoMay(file));
    const uint yours = standing.owner             ? file.mode >> 6
                       : standing.processHasGroup ? file.mode >> 3
                                                  : file.mode;
    if (readWrite(yours))
        text += QStringLiteral(" Its mode lets you, so something else refuses you (an access "
                               "control list or a security policy).");
    return text;
}

QString permissionText(const QString &portPath, int openErrno)
{
    if (openErrno != EACCES && openErrno != EPERM)
        return {};
    struct stat info = {};
    if (::stat(QFile::encodeName(portPath).constData(), &info) != 0)
        return {};
    const PortFile file{portPath, ownerNameOf(info.st_uid), groupNameOf(info.st_gid), info.st_mode};
    const Standing standing{::geteuid() == info.st_uid, inGroupPerDatabase(info.st_gid),
                            processHasGroup(info.st_gid)};
    return adviceFor(file, standing);
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
