// The pieces every window stands on: the Qt side of the seams (busy window,
// message boxes), the launcher's style, the probe start-up timing relies on,
// the rule every window made once for the whole run follows, and where a
// window goes on its screen. The one-copy lock is the smoke tests': a second
// copy of the program is turned away, a killed one's lock blocks nothing. The
// program's own use of the probe (the marker, the end of the loop, nothing
// without the variable) is what the smoke tests' copies of the program go by.
#include "core_windows/DrawnArrowStyle.h"
#include "core_windows/QtDesktopServices.h"
#include "core_windows/QtDialogs.h"
#include "core_windows/ScreenFit.h"
#include "core_windows/ShownProbe.h"
#include "core_windows/SingleWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace {
bool imagePluginsLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

// Puts the application's style back when a test ends.
struct InstalledStyle
{
    const QString before = QApplication::style()->name();
    InstalledStyle() { DrawnArrowStyle::install(); }
    ~InstalledStyle() { QApplication::setStyle(before); }
};

class PaintCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

// A window whose load records whether the window was already the instance.
class LoadedWindow : public QWidget
{
public:
    int loads = 0;
    bool instanceDuringLoad = false;
    static LoadedWindow &instance()
    {
        return SingleWindow<LoadedWindow>::instance([] { return new LoadedWindow; },
                                                    &LoadedWindow::load);
    }
    void load()
    {
        ++loads;
        instanceDuringLoad = &instance() == this;
    }
};
} // namespace

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
    EXPECT_EQ(seenTitle + "|" + seenText, "EEPROM Configurator|Recycle the supply?");
}

// Catches an arrow that is empty or invisible, and other icons no longer
// coming from the platform style.
TEST(DrawnArrowStyleTest, ArrowIsDrawnAndOtherIconsComeFromTheBaseStyle)
{
    DrawnArrowStyle style; // over a fresh default style
    const QIcon arrow = style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    ASSERT_FALSE(arrow.isNull());
    const QImage image = arrow.pixmap(16, 16).toImage();
    ASSERT_EQ(image.size(), QSize(16, 16));
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 128;
    EXPECT_TRUE(inked > 8 && inked < 16 * 16 / 2) << inked; // two chevrons, no square
    EXPECT_FALSE(style.standardIcon(QStyle::SP_MessageBoxWarning).isNull());
}

// Catches the arrow read from its image file again: the plugins that loads
// cost the launcher a millisecond of its start. Each test runs in a process of
// its own under ctest; run together, another test may have loaded them first.
TEST(DrawnArrowStyleTest, AMenuBarLoadsNoImagePlugins)
{
    if (imagePluginsLoaded())
        GTEST_SKIP() << "an earlier test in this process loaded the image plugins";
    InstalledStyle installed;
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
    EXPECT_FALSE(imagePluginsLoaded());
}

// Catches a report at show() or at the expose, before the window's content
// was painted, and a report repeated on later paints.
TEST(ShownProbeTest, ReportsOnceAfterTheWindowAndItsChildrenWerePainted)
{
    QWidget window;
    window.resize(200, 120);
    auto *child = new PaintCounter(&window);
    child->setGeometry(20, 20, 80, 60);
    int reports = 0, childPaintsWhenReported = -1;
    bool exposedWhenReported = false;
    new ShownProbe(&window, [&] {
        ++reports;
        childPaintsWhenReported = child->paints;
        exposedWhenReported = window.windowHandle() && window.windowHandle()->isExposed();
    });

    window.show();
    EXPECT_EQ(reports, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports > 0; }, 5000));
    EXPECT_TRUE(childPaintsWhenReported >= 1 && exposedWhenReported);

    window.repaint();
    QCoreApplication::processEvents();
    EXPECT_TRUE(child->paints > childPaintsWhenReported && reports == 1);
}

// Catches a load that runs again on later use, or before the window is the
// instance (a load asking for its window would make a second one), and a
// pointer left dangling when the window goes another way than destroy(): by
// its parent, by a close that deletes, by delete.
TEST(SingleWindowRule, LoadsOnceAsTheInstance)
{
    auto parent = std::make_unique<QWidget>();
    LoadedWindow *first = &LoadedWindow::instance();
    EXPECT_TRUE(&LoadedWindow::instance() == first && first->loads == 1 &&
                first->instanceDuringLoad);
    first->setParent(parent.get());
    parent.reset();
    LoadedWindow *second = &LoadedWindow::instance();
    EXPECT_EQ(second->loads, 1);

    second->setAttribute(Qt::WA_DeleteOnClose);
    second->show();
    second->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    LoadedWindow *third = &LoadedWindow::instance();
    EXPECT_EQ(third->loads, 1);
    delete third;
    EXPECT_EQ(LoadedWindow::instance().loads, 1);
    SingleWindow<LoadedWindow>::destroy();
}

// Catches a window left reaching past an edge of the screen, one moved
// although it fitted, one moved further than it takes, and one larger than
// the screen kept at its size or placed with its title bar out of sight.
TEST(ScreenFit, FramesAreMovedAndShrunkOntoTheAvailableArea)
{
    const QRect screen(0, 0, 1280, 1024);
    const QRect belowPanel(0, 30, 1280, 994); // a panel along the top
    const struct
    {
        const char *what;
        QRect available, frame, placed;
    } cases[] = {
        {"fits", screen, {100, 100, 594, 809}, {100, 100, 594, 809}},
        {"grown past the bottom", screen, {300, 600, 594, 809}, {300, 215, 594, 809}},
        {"past the right", screen, {1000, 100, 1040, 820}, {240, 100, 1040, 820}},
        {"past the left and top", screen, {-50, -20, 400, 300}, {0, 0, 400, 300}},
        {"larger than the screen", screen, {100, 100, 1300, 1100}, {0, 0, 1280, 1024}},
        {"only wider", screen, {200, 50, 1300, 500}, {0, 50, 1280, 500}},
        {"under the panel", belowPanel, {10, 0, 200, 100}, {10, 30, 200, 100}},
        {"taller than below the panel", belowPanel, {10, 10, 590, 1000}, {10, 30, 590, 994}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScreenFit::within(c.frame, c.available), c.placed) << c.what;
}
