// Shared routines: error file, key filter, busy modes, pause. The reply test
// is the device wrappers' (WrapperTest.OddRepliesAreFailures).
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

// Catches a wrong line layout, lines overwriting each other, or a crash or a
// stray file when the error folder cannot be written; and a key filter that
// lets the wrong separator or a minus sign through.
TEST(ErrorFileAndKeyFilterTest, AppendsOneDatedLinePerFailureAndTheKeyFilterPassesNumbersOnly)
{
    TestEnvironment env;
    ZelkGlobals::ErrorFilePath = env.path("error124.txt");
    env.clock.now = QDateTime(QDate(2026, 12, 4), QTime(14, 5, 9));
    env.clock.autoAdvanceMs = 0;
    LogError("Error in GetGroupID in Unit  3 and Module 2 ERR");
    LogError("second");
    const QString expectedStamp = generalDateText(env.clock.now);
    EXPECT_TRUE(expectedStamp.endsWith("14:05:09"));
    EXPECT_EQ(QString::fromUtf8(env.readFile("error124.txt")),
              expectedStamp + " [Error in GetGroupID in Unit  3 and Module 2 ERR]\r\n" +
                  expectedStamp + " [second]\r\n");

    ZelkGlobals::ErrorFilePath = env.path("missing/folder/error1.txt");
    LogError("lost");
    EXPECT_FALSE(QFile::exists(ZelkGlobals::ErrorFilePath));

    ZelkGlobals::DecimalSeparator = ",";
    for (qint16 key : {qint16('0'), qint16('9'), qint16(','), qint16(8), qint16(13)}) {
        qint16 k = key;
        NumericKeyFilter(k);
        EXPECT_EQ(k, key);
    }
    EXPECT_EQ(env.dialogs.count(), 0);

    for (qint16 key : {qint16('.'), qint16('-'), qint16('a'), qint16(' ')}) {
        qint16 k = key;
        NumericKeyFilter(k);
        EXPECT_EQ(k, 0) << char(key);
    }
    ASSERT_EQ(env.dialogs.count(), 4);
    const auto &box = env.dialogs.shown[0];
    EXPECT_EQ(box.text, "Please enter numeric values");
    EXPECT_EQ(box.title, "Halvex Electronics");
    EXPECT_EQ(box.icon, MsgIcon::Information);
    EXPECT_EQ(box.buttons, MsgButtons::OK);
}

// Catches busy modes with the wrong effect or unknown modes doing something,
// and a pause that ends early or lets no window event run.
TEST(BusyAndPauseTest, ModesZeroToThreeOnlyAndAPauseWaitsTheTimeLettingEventsRun)
{
    TestEnvironment env;
    EXPECT_TRUE(SetBusy(1));
    EXPECT_TRUE(env.desktop.busy);
    EXPECT_FALSE(env.desktop.windowEnabled);
    EXPECT_FALSE(SetBusy(4));
    EXPECT_FALSE(SetBusy(-1));
    EXPECT_TRUE(env.desktop.busy);
    EXPECT_TRUE(SetBusy(0));
    EXPECT_FALSE(env.desktop.busy);
    EXPECT_TRUE(env.desktop.windowEnabled);
    EXPECT_TRUE(SetBusy(2));
    EXPECT_TRUE(env.desktop.hidden);
    EXPECT_TRUE(SetBusy(3));
    EXPECT_FALSE(env.desktop.hidden);

    env.clock.autoAdvanceMs = 10;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    const qint64 start = env.clock.monotonic;
    Pause(0.5);
    EXPECT_GE(env.clock.monotonic - start, 500);
    EXPECT_LT(env.clock.monotonic - start, 600);
    EXPECT_TRUE(ran);
}

// Catches the program launcher not reaching the desktop, and an installed
// program looking for its help in the per-user folder, where it is never
// copied.
TEST(DesktopRoutinesTest, RunsTheCommandLineAndReadsTheHelpWhereItWasShipped)
{
    TestEnvironment env;
    RunProgram("editor /tmp/error124.txt");
    EXPECT_EQ(env.desktop.commands, QStringList{"editor /tmp/error124.txt"});
    EXPECT_TRUE(showHelp("GUI.html", HelpCommand::DisplayTopic));
    ZelkGlobals::ShippedFolder = env.path("share");
    EXPECT_TRUE(showHelp("VIP.html", HelpCommand::DisplayTopic));
    EXPECT_EQ(env.desktop.helpTopics, (QStringList{env.path("zelksdk.chm") + "::GUI.html",
                                                   env.path("share/zelksdk.chm") + "::VIP.html"}));
}
