// The permission advice: a group named where joining it would not help, the
// device file misread, advice for a failure that is not a permission one.
#include "core/SerialAccess.h"
#include "TestSeams.h"
#include "core/ZelkRoutines.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

// Catches advice to join a group that would not help: a group without read
// and write, a group the user already joined (log in again instead), a file
// the user owns (its owner bits decide); the start adviceIn looks for; the
// file's owner, group and mode not taken from the file itself, advice for a
// failure that is not a permission one or a port that is not there, and advice
// lost between the device's reply and the user: a port this user may not open
// is followed by a box naming the group; any other failure shows the one
// message it always did.
TEST(SerialAccessTest, AdviceNamesAGroupOnlyWhereJoiningHelpsFromTheDeviceFileToTheUser)
{
    using SerialAccess::Standing;
    const Standing outside{false, false, false}, joined{false, true, false},
        member{false, true, true}, owner{true, false, false};
    struct Row
    {
        const char *what;
        uint mode;
        QString ownerName, groupName;
        Standing standing;
        QString says; // after "You may not open /dev/ttyUSB0: "
    };
    const QString join = QStringLiteral(
        "the serial port exists, but only members of the group dialout may use it. Add yourself "
        "to the group with\n    sudo adduser $USER dialout\nthen log out and back in.");
    const Row rows[] = {
        {"group may, user outside it", 020660, "root", "dialout", outside, join},
        {"joined since logging in", 020660, "root", "dialout", joined,
         "you are a member of the group dialout, which may use it, but this session began before "
         "you joined it. Log out and back in so that the session has the group."},
        {"only the owner may", 020600, "root", "root", outside,
         "it belongs to root, group root, mode crw-------: only its owner may read and write "
         "it."},
        {"group may only read", 020640, "root", "dialout", outside,
         "it belongs to root, group dialout, mode crw-r-----: only its owner may read and write "
         "it."},
        {"user owns it, owner may not", 020060, "alice", "dialout", owner,
         "it belongs to alice, group dialout, mode c---rw----: only members of the group dialout "
         "may read and write it."},
        {"nobody may", 020000, "root", "root", outside,
         "it belongs to root, group root, mode c---------: only the administrator may read and "
         "write it."},
        {"mode lets the user", 020660, "root", "dialout", member,
         "it belongs to root, group dialout, mode crw-rw----: only its owner and members of the "
         "group dialout may read and write it. Its mode lets you, so something else refuses you "
         "(an access control list or a security policy)."},
    };
    const QString port = QStringLiteral("/dev/ttyUSB0");
    for (const Row &row : rows) {
        const QString text =
            SerialAccess::adviceFor({port, row.ownerName, row.groupName, row.mode}, row.standing);
        EXPECT_EQ(text.toStdString(),
                  (QStringLiteral("You may not open /dev/ttyUSB0: ") + row.says).toStdString())
            << row.what;
        EXPECT_EQ(SerialAccess::adviceIn(QStringLiteral("cannot open COM1. ") + text), text)
            << row.what << ": not found again in a reply";
    }

    QTemporaryFile portFile;
    ASSERT_TRUE(portFile.open());
    const QString path = portFile.fileName();
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    const QFileInfo info(path);
    const QString text = SerialAccess::permissionText(path, EACCES);
    EXPECT_TRUE(text.startsWith(QStringLiteral("You may not open %1: it belongs to %2, group %3, "
                                               "mode -rw-------: only its owner may")
                                    .arg(path, info.owner(), info.group())))
        << text.toStdString();
    EXPECT_EQ(SerialAccess::permissionText(path, EPERM), text);
    for (int other : {0, ENOENT, EBUSY, EIO})
        EXPECT_TRUE(SerialAccess::permissionText(path, other).isEmpty()) << other;
    EXPECT_TRUE(SerialAccess::permissionText(path + QStringLiteral(".gone"), EACCES).isEmpty());

    // Root may give the file away: then the user database decides, and root
    // is no member of Debian's serial group.
    const passwd *nobody = ::getpwnam("nobody");
    const group *dialout = ::getgrnam("dialout");
    const bool root = ::geteuid() == 0;
    if (root && nobody && dialout &&
        ::fchown(portFile.handle(), nobody->pw_uid, dialout->gr_gid) == 0) {
        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ReadGroup | QFile::WriteGroup));
        EXPECT_TRUE(SerialAccess::permissionText(path, EACCES)
                        .contains(QStringLiteral("sudo adduser $USER dialout")));
    }

    // Asked of the system: root may open anything; another user may not open
    // a port without read and write permission.
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
    EXPECT_EQ(SerialAccess::permissionText(path).isEmpty(), root);

    // From the device's reply to the user: the box naming the group follows
    // the one message a port failure always shows.
    const QString advice = SerialAccess::permissionText(path, EACCES);
    ASSERT_FALSE(advice.isEmpty());
    for (const bool denied : {true, false}) {
        TestEnvironment env;
        const QString reply = denied ? QStringLiteral("ERR_PORT_UNAVAILABLE: cannot open COM1 (") +
                                           path + QStringLiteral("): Permission denied. ") + advice
                                     : QStringLiteral("ERR_PORT_UNAVAILABLE: no port named");
        EXPECT_EQ(SerialAccess::adviceIn(reply), denied ? advice : QString());
        reportPortNotOpened(reply);
        const QStringList shown = env.dialogs.texts();
        ASSERT_EQ(shown.size(), denied ? 2 : 1) << shown.join(u'|').toStdString();
        EXPECT_TRUE(shown.first().startsWith(QStringLiteral("I could not open COM port")));
        if (denied) {
            EXPECT_EQ(shown.last(), advice);
        }
    }
}
