#include "grouping/GroupLists.h"

#include <gtest/gtest.h>

// Catches a module listed although its group is unknown or it is absent, a
// loose module-name parse that would address a position that does not exist,
// and pasted texts slipping through as delays. (The 65000 ms limit is the
// dialog's: GroupingDialogTest.)
TEST(GroupLists, OnlyModulesThatAreThereAndDelaysThatAreNumbers)
{
    // Module 2 read failed (0); module 3 absent although it holds an ID.
    const GroupLists::Lists lists =
        GroupLists::fill(QStringLiteral("11010000"), {2, 0, 2, 1, 0}, 1);
    EXPECT_EQ(lists.group, QStringList{"Module 4"});
    EXPECT_EQ(lists.available, QStringList{"Module 1"});

    for (int m = 1; m <= 5; ++m)
        EXPECT_EQ(GroupLists::ModuleNumberFromText(QStringLiteral("Module %1").arg(m)), m);
    for (const char *text : {"Module 6", "Module 0", "module 1", "Module 10", "Module", ""})
        EXPECT_EQ(GroupLists::ModuleNumberFromText(QString::fromLatin1(text)), 0) << text;

    EXPECT_EQ(GroupLists::startupDelay(true, QStringLiteral(" 250 ")), 250);
    EXPECT_EQ(GroupLists::startupDelay(true, QStringLiteral("  ")), 0);
    EXPECT_EQ(GroupLists::startupDelay(false, QStringLiteral("99999")), 0);
    for (const char *bad : {"12.5", "-5", "+5", "abc", "99999999999999999999"})
        EXPECT_FALSE(GroupLists::startupDelay(true, QString::fromLatin1(bad))) << bad;
}
