// The probe start-up timing relies on: a window counts as shown only once it
// and its children have been painted on an exposed platform window.
#include "core_windows/ShownProbe.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
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

// Catches the marker missing or garbled, or the event loop left running, so
// a benchmark would wait for a program that never ends.
TEST(ShownProbeTest, AskedByTheEnvironmentItWritesTheMarkerAndEndsTheLoop)
{
    qputenv(ShownProbe::EnvironmentVariable, "1");
    QWidget window;
    ShownProbe::exitWhenShownIfAsked(&window);
    qunsetenv(ShownProbe::EnvironmentVariable);
    // Ends a loop the probe failed to end, as a failure.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(10000);

    ::testing::internal::CaptureStdout();
    window.show();
    const int rc = QApplication::exec();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, ShownProbe::Marker);
}

// Catches the probe acting in a normal run of the program.
TEST(ShownProbeTest, WithoutTheVariableItDoesNothing)
{
    qunsetenv(ShownProbe::EnvironmentVariable);
    auto *window = new PaintCounter;
    ShownProbe::exitWhenShownIfAsked(window);
    ::testing::internal::CaptureStdout();
    window->show();
    const bool painted = QTest::qWaitFor([&] { return window->paints > 0; }, 5000);
    QCoreApplication::processEvents();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(painted);
    EXPECT_EQ(out, "");
    delete window;
}
