// The launcher's style: the menu bar's overflow arrow is drawn, and making a
// menu bar no longer loads the image-format plugins.
#include "core_windows/DrawnArrowStyle.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <gtest/gtest.h>

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
} // namespace

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
    EXPECT_GT(inked, 8);           // two chevrons, not a blank square
    EXPECT_LT(inked, 16 * 16 / 2); // nor a filled one
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
