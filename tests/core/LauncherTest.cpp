// The launcher: hover captions, port label, help, web links, size and exit.
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "core_windows/CommParamsForm.h"
#include "core_windows/MainForm.h"
#include "core_windows/WindowRegistry.h"
#include "device/SimulatedBus.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class LauncherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"ZelkGui.ini", "Zelk.ini", "scale.ini"})
            env.copyShipped(file);
        registerSimulatedBus();
        ZelkGlobals::ApplicationFolder = env.folder();
        ASSERT_TRUE(form().Form_Load());
        form().show();
    }
    void TearDown() override
    {
        MainForm::destroyInstance();
        WindowRegistry::clear();
    }
    static MainForm &form() { return MainForm::instance(); }
    QString caption() const { return form().lbl->property("Caption").toString(); }
    void moveOn(QWidget *w, QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    // Presses Save in the port dialog once it is up, after choosing a port.
    void answerPortDialog(const QString &port)
    {
        QTimer::singleShot(0, [port] {
            auto *dialog = qobject_cast<CommParamsForm *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->ComPort->setEditText(port);
            dialog->OKButton->click();
        });
    }

    TestEnvironment env;
};
} // namespace

// Catches the port label refreshed from the menu, or with the load-time text,
// a maximised or resized launcher keeping the new size; the heading differing
// from the design, or the hover captions or borders not following the
// pointer, edges included; help failures reported where they must be silent,
// or the reverse, and web addresses mangled by the decimal separator or taken
// from the wrong key.
TEST_F(LauncherTest, PortLabelSizeHeadingHoverHelpAndWebLinks)
{
    EXPECT_EQ(form().lblDefaultComPort->text(), "Default Com Port: COM1");
    answerPortDialog("COM6");
    form().CommParams->trigger();
    EXPECT_EQ(ZelkGlobals::ComPort + "|" + form().lblDefaultComPort->text(),
              "COM6|Default Com Port: COM1");
    answerPortDialog("COM2");
    QTest::mouseClick(form().cmdComPort, Qt::LeftButton);
    EXPECT_EQ(form().lblDefaultComPort->text(), "Default Com Port : COM2");

    // The label only shows the port: a click on it opens nothing.
    bool opened = false;
    QTimer::singleShot(0, [&opened] {
        if (auto *dialog = qobject_cast<CommParamsForm *>(QApplication::activeModalWidget())) {
            opened = true;
            dialog->reject();
        }
    });
    QTest::mouseClick(form().lblDefaultComPort, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);

    const QSize design(11235 / 15, 7080 / 15);
    form().resize(900, 700);
    EXPECT_EQ(form().size(), design);
    form().showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([] { return !form().isMaximized(); }, 2000));
    EXPECT_EQ(form().size(), design);

    EXPECT_EQ(caption(), "S e l e c t   O p t i o n . . .");
    EXPECT_TRUE(form().lbl->property("BackColor").toUInt() == 0xFFFFFFu &&
                form().lbl->property("ForeColor2").toUInt() == 0u);
    moveOn(form().Image2, {5, 5});
    EXPECT_EQ(caption(), "Real-time Power Supply Interaction");
    EXPECT_TRUE(form().Image2->frameShape() == QFrame::Box &&
                form().Picture1->frameShape() == QFrame::NoFrame);
    moveOn(form().Picture1, {5, 5});
    EXPECT_EQ(caption(), "Power Supply Eeprom Custom Configuration");
    EXPECT_TRUE(form().Image2->frameShape() == QFrame::NoFrame &&
                form().Picture1->frameShape() == QFrame::Box);
    moveOn(form().cmdExit, {3, 3});
    EXPECT_EQ(caption(), "Exit Program...");

    // On the bare window: the picture whose rectangle holds the point, its
    // right edge included, keeps its border.
    const QRect g = form().Image2->geometry();
    form().Form_MouseMove(QPoint(g.left() + g.width(), g.top()));
    EXPECT_TRUE(form().Image2->frameShape() == QFrame::Box &&
                form().Picture1->frameShape() == QFrame::NoFrame);
    EXPECT_EQ(caption(), "S e l e c t   O p t i o n . . .");
    form().Form_MouseMove(QPoint(g.left() + g.width() + 1, g.top()));
    EXPECT_EQ(form().Image2->frameShape(), QFrame::NoFrame);

    ZelkGlobals::DecimalSeparator = ",";
    form().HalvexUKHomepage->trigger();
    QTest::mouseClick(form().Label2, Qt::LeftButton);
    EXPECT_EQ(env.desktop.openedUrls, (QStringList{"https://www.halvex.example/uk/",
                                                   "https://www.halvex.example/zelk/products/"}));

    form().ZelkHelp->trigger();
    form().Contents->trigger();
    form().Index->trigger();
    QTest::mouseClick(form().Label1, Qt::LeftButton);
    const QString file = env.path("zelksdk.chm");
    EXPECT_EQ(env.desktop.helpTopics,
              (QStringList{file + "::GUI.html", file + "::Introduction.html#contents",
                           file + "::Introduction.html#index", file + "::GUI.html"}));
    EXPECT_EQ(env.dialogs.count(), 0);

    env.desktop.helpAvailable = false;
    form().Index->trigger();
    EXPECT_EQ(env.dialogs.count(), 0);
    form().ZelkHelp->trigger();
    form().Contents->trigger();
    ASSERT_EQ(env.dialogs.count(), 2);
    EXPECT_EQ(env.dialogs.shown[0].text, "The required help file not properly installed in your "
                                         "machine. Contact system support.");
    EXPECT_TRUE(env.dialogs.shown[0].title == "Halvex Electronics" &&
                env.dialogs.shown[0].icon == MsgIcon::Information);
}
