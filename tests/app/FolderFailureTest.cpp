// Start-up without its per-user folder.
#include "TestSeams.h"
#include "app/ZelkApplication.h"
#include "core/AppFolders.h"
#include "core/ZelkGlobals.h"

#include <gtest/gtest.h>

// Catches a program that starts when its folder could not be made (the
// launcher then shows "Default Com Port: N/A"), or ends without a box.
TEST(FolderFailureTest, UnmakeableFolderIsShownAndStartUpStops)
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
}
