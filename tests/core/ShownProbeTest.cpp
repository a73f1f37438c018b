// The probe start-up timing relies on: a window counts as shown only once it
// and its children have been painted on an exposed platform window. The
// program's own use of it (the marker, the end of the loop, nothing without
// the variable) is what the smoke tests' copies of the program go by.
#include "core_windows/ShownProbe.h"

#include <QApplication>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

class PaintCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

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
    EXPECT_GE(childPaintsWhenReported, 1);
    EXPECT_TRUE(exposedWhenReported);

    window.repaint();
    QCoreApplication::processEvents();
    EXPECT_GT(child->paints, childPaintsWhenReported);
    EXPECT_EQ(reports, 1);
}
