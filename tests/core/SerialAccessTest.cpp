// The permission advice: a group not taken from the device file, advice for
// a failure that is not a permission one, or for a port that is not there.
#include "core/SerialAccess.h"
#include "TestSeams.h"
#include "core/ZelkRoutines.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <grp.h>
#include <unistd.h>

// Catches a group name that does not come from the device file and advice
// given where it does not help.
TEST(SerialAccessTest, NamesTheDeviceFilesGroupOnlyForPermissionFailures)
{
    QTemporaryFile port;
    ASSERT_TRUE(port.open());
    const QString path = port.fileName();
    // As root the file is given Debian's serial group, so the name cannot
    // come from the process's own group.
    const group *dialout = ::getgrnam("dialout");
    const bool root = ::geteuid() == 0;
    const QString owner = root && dialout && ::fchown(port.handle(), -1, dialout->gr_gid) == 0
                              ? QStringLiteral("dialout")
                              : QFileInfo(path).group();
    ASSERT_FALSE(owner.isEmpty());

    const QString text = SerialAccess::permissionText(path, EACCES);
    EXPECT_TRUE(text.contains(path)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("group ") + owner)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("sudo adduser $USER ") + owner)) << text.toStdString();
    EXPECT_EQ(SerialAccess::permissionText(path, EPERM), text);

    for (int other : {0, ENOENT, EBUSY, EIO})
        EXPECT_TRUE(SerialAccess::permissionText(path, other).isEmpty()) << other;
    EXPECT_TRUE(SerialAccess::permissionText(path + QStringLiteral(".gone"), EACCES).isEmpty());

    // Asked of the system: root may open anything; another user may not open
    // a port without read and write permission.
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
    EXPECT_EQ(SerialAccess::permissionText(path).isEmpty(), root);
}

// Catches advice lost between the device's reply and the user: a port this
// user may not open is followed by a box naming the group; any other failure
// shows the one message it always did.
TEST(SerialAccessTest, PortNotOpenedTellsWhichGroupGrantsThePort)
{
    QTemporaryFile port;
    ASSERT_TRUE(port.open());
    const QString advice = SerialAccess::permissionText(port.fileName(), EACCES);
    ASSERT_FALSE(advice.isEmpty());
    for (const bool denied : {true, false}) {
        TestEnvironment env;
        const QString reply = denied ? QStringLiteral("ERR_PORT_UNAVAILABLE: cannot open COM1 (") +
                                           port.fileName() +
                                           QStringLiteral("): Permission denied. ") + advice
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
