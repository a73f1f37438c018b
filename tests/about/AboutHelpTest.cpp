// The about box, the system-information button and the help viewer.
#include "MockZelkDevice.h"
#include "TestSeams.h"
#include "about/HelpViewer.h"
#include "about/SysInfo.h"
#include "about/frmAboutZelk.h"
#include "core/ZelkGlobals.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::NiceMock;
using ::testing::Return;

namespace {
QString builtHelpFile()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath("zelksdk.chm");
}
} // namespace

// Catches the box showing its design-time text instead of the device's own,
// a missing system-information tool started anyway, or one found but not
// started, and stored numbers read with unpadded bytes; a help topic shown in
// the wrong place, a missing file or topic reported as shown, and a help
// topic some window calls for missing from the help file.
TEST(AboutAndHelpTest, AboutBoxAndHelpViewer)
{
    TestEnvironment env;
    auto mock = std::make_unique<NiceMock<MockZelkDevice>>();
    EXPECT_CALL(*mock, WhoAmI()).WillOnce(Return("Simulated bus 3.1"));
    ZelkGlobals::Device = std::move(mock);
    frmAboutZelk about;
    EXPECT_EQ(about.windowTitle(), "About Zelk Software");
    EXPECT_EQ((QStringList{about.lblTitle->text(), about.lblVersion->text(),
                           about.lblDisclaimer->text()}),
              (QStringList{"Zelk Software", "Version 2.01", "Simulated bus 3.1"}));

    QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(env.dialogs.shown[0].buttons, MsgButtons::OK);
    EXPECT_TRUE(env.desktop.commands.isEmpty());

    env.desktop.systemInfo = "/usr/bin/sysinfo tool";
    QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(env.desktop.commands, QStringList{"\"/usr/bin/sysinfo tool\""});
    EXPECT_EQ(env.dialogs.count(), 1);
    QTest::mouseClick(about.cmdOK, Qt::LeftButton);
    EXPECT_EQ(about.result(), QDialog::Accepted);

    // Stored numbers read last byte first, each byte padded (0x0102 is not 0x12).
    EXPECT_EQ(registryNumberText(QByteArray("\x10\x00\x00\x00", 4)), "16");
    EXPECT_EQ(registryNumberText(QByteArray("\x02\x01\x00\x00", 4)), "258");
    EXPECT_EQ(registryNumberText(QByteArray("\xff\xff\xff\xff", 4)), "4294967295");

    HelpViewer &viewer = HelpViewer::instance();
    ASSERT_TRUE(viewer.open(builtHelpFile(), "GUI.html", HelpCommand::DisplayTopic));
    EXPECT_EQ(viewer.currentTopic(), "GUI.html");
    EXPECT_TRUE(viewer.browser->toPlainText().contains("The start window"));
    EXPECT_TRUE(viewer.isVisible());
    // A picture beside the test program, for looking at the window.
    viewer.grab().save(QDir(QCoreApplication::applicationDirPath()).filePath("help_viewer.png"));

    ASSERT_TRUE(viewer.open(builtHelpFile(), "Introduction.html", HelpCommand::Index));
    EXPECT_EQ(viewer.tabs->currentIndex(), 1);
    QTest::keyClicks(viewer.txtIndex, "stat");
    ASSERT_NE(viewer.lstIndex->currentItem(), nullptr);
    EXPECT_EQ(viewer.lstIndex->currentItem()->text(), "status log");
    QTest::mouseClick(viewer.lstIndex->viewport(), Qt::LeftButton, {},
                      viewer.lstIndex->visualItemRect(viewer.lstIndex->currentItem()).center());
    EXPECT_EQ(viewer.currentTopic(), "StatusLog.html");
    QTest::mouseClick(viewer.cmdBack, Qt::LeftButton);
    EXPECT_EQ(viewer.currentTopic(), "Introduction.html");

    ASSERT_TRUE(viewer.open(builtHelpFile(), "Introduction.html", HelpCommand::Contents));
    EXPECT_EQ(viewer.tabs->currentIndex(), 0);
    EXPECT_GE(viewer.lstContents->count(), 10);

    EXPECT_FALSE(viewer.open(builtHelpFile(), "NoSuchTopic.html", HelpCommand::DisplayTopic));
    EXPECT_FALSE(viewer.open(env.path("zelksdk.chm"), "GUI.html", HelpCommand::DisplayTopic));

    for (const char *topic :
         {"Introduction.html", "GUI.html", "EC.html", "VIP.html", "GroupingOverview.html"})
        EXPECT_TRUE(viewer.open(builtHelpFile(), topic, HelpCommand::DisplayTopic)) << topic;
    // Every entry of the contents and the index leads to a topic.
    for (QListWidget *list : {viewer.lstContents, viewer.lstIndex}) {
        for (int i = 0; i < list->count(); ++i) {
            const QString file = list->item(i)->data(Qt::UserRole).toString();
            EXPECT_TRUE(QFile::exists(":/zelkhelp/" + file)) << file.toStdString();
        }
    }
    HelpViewer::destroyInstance();
}
