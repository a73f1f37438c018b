// Where a window goes on its screen.
#include "core_windows/ScreenFit.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace
