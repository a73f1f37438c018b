// Start-up and its per-user folder: one that could not be made, news from seeding it.
#include "TestSeams.h"
#include "app/ZelkApplication.h"
#include "core/AppFolders.h"
#include "core/ZelkGlobals.h"
#include "device/SimulatedBus.h"

#include <gtest/gtest.h>

// Catches a program that starts when its folder could not be made (the
// launcher then shows "Default Com Port: N/A"), or ends without a box.
TEST(FolderFailureTest, UnmakeableFolderStopsStartUpAndANewerScaleIniIsToldOnce)
{
    TestEnvironment env;
    const QString before = ZelkGlobals::ApplicationFolder;
    AppFolders folders;
    folders.applicationFolder = env.path(QStringLiteral("taken/zelksoft"));
    folders.failure = QStringLiteral("Could not create the folder ...: Not a directory.");

    EXPECT_FALSE(ZelkApplication::takeFolders(folders));
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown.front().text, folders.failure);
    EXPECT_EQ(env.dialogs.shown.front().icon, MsgIcon::Critical);
    EXPECT_EQ(ZelkGlobals::ApplicationFolder, before) << "took the folder it could not make";

    // A newer scale.ini offered only in the error file, where nobody looks:
    // start-up tells it in a notice, which waits for nobody, and once.
    env.dialogs.shown.clear();
    folders = AppFolders();
    for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
        env.copyShipped(QString::fromLatin1(file));
    registerSimulatedBus();
    folders.applicationFolder = folders.shippedFolder = env.folder();
    folders.tell << QStringLiteral("A newer scale.ini came with the program");
    ASSERT_TRUE(ZelkApplication::takeFolders(folders));
    for (int start = 0; start < 2; ++start) {
        ZelkApplication::wire();
        ASSERT_TRUE(ZelkApplication::start());
        ZelkApplication::unwire();
    }
    ASSERT_EQ(env.dialogs.count(), 1) << env.dialogs.texts().join('\n').toStdString();
    EXPECT_EQ(env.dialogs.shown.front().kind, "Notice");
    EXPECT_EQ(env.dialogs.shown.front().text, folders.tell.front());
}
