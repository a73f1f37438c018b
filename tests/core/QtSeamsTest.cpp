// The Qt side of the seams: busy window, message boxes. The one-copy lock is
// the smoke tests': a second copy of the program is turned away, a killed one's
// lock blocks nothing.
#include "core_windows/QtDesktopServices.h"
#include "core_windows/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// Catches the busy mode leaving the window disabled when it is no longer active.
TEST(QtDesktopServicesTest, BusyWindowIsEnabledAgain)
{
    QTemporaryDir dir;
    QtDesktopServices desktop(dir.filePath("zelk.lock"));
    QWidget window;
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, 2000));
    desktop.setActiveWindowEnabled(false);
    EXPECT_FALSE(window.isEnabled());
    desktop.setActiveWindowEnabled(true);
    EXPECT_TRUE(window.isEnabled());
}

// Catches the box's answer, title or words being lost on the way to Qt.
TEST(QtDialogsTest, MessageBoxShowsTitleTextAndReturnsTheButton)
{
    QtDialogs dialogs;
    QString seenTitle, seenText;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenTitle = box->windowTitle();
        seenText = box->text();
        box->button(QMessageBox::No)->click();
    });
    const MsgResult r = dialogs.MsgBox("Recycle the supply?", MsgButtons::YesNo, MsgIcon::Question,
                                       "EEPROM Configurator");
    EXPECT_EQ(r, MsgResult::No);
    EXPECT_EQ(seenTitle, "EEPROM Configurator");
    EXPECT_EQ(seenText, "Recycle the supply?");
}
