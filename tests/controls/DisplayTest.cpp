// The numeric display: which picture each position shows, and the widget around it.
#include "TestSeams.h"
#include "controls/DisplayPictures.h"
#include "controls/OstransDisplay.h"
#include "core/ZelkGlobals.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <string_view>

namespace {
using DisplayPictures::pictureIndices;
using DisplayPictures::Pictures;

constexpr int P = DisplayPictures::Point;
constexpr int E = DisplayPictures::EmptyText;

// Pictures written as the display shows them: digits, '.' the point, '_' a
// blank, 'e' the empty-text picture; a leading '+' takes set 2's pictures.
Pictures pictures(const char *shown)
{
    const int offset = *shown == '+' ? DisplayPictures::SetSize : 0;
    Pictures p{};
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = shown[i + (offset ? 1 : 0)];
        p[i] = c == 'e' ? E : offset + int(std::string_view(" 1234567890_.").find(c));
    }
    return p;
}
} // namespace

// Catches wrong padding, lost digits, zeros blanked inside a number or leading zeros left
// visible, a digit set's offset missing or an unknown set used as one, other characters drawn
// instead of keeping the position's picture, a hard-wired "." instead of the user's separator,
// and an empty text shown as set 2's digit "1" (picture 13) in set 1; the widget losing the
// previous pictures between readings or ignoring the global separator, and key releases not
// raised, raised twice on auto-repeat, or with Qt's key numbers.
TEST(Display, EachPositionShowsItsPictureAndTheWidgetRaisesKeyUp)
{
    ASSERT_EQ(E, 2 * DisplayPictures::SetSize + 1);
    const struct
    {
        const char *text;
        int set;
        const char *separator, *previous, *shown;
    } cases[] = {
        {"12.5", 1, ".", "eeeee", "_12.5"},  {"0.5", 1, ".", "eeeee", "__0.5"},
        {"0", 1, ".", "eeeee", "____0"},     {"123456", 1, ".", "eeeee", "23456"},
        {"24.00", 1, ".", "eeeee", "24.00"}, {"100", 1, ".", "eeeee", "__100"},
        {"0.05", 1, ".", "eeeee", "_0.05"},  {"1.05", 1, ".", "eeeee", "_1.05"},
        {"10005", 1, ".", "eeeee", "10005"}, {"00", 1, ".", "eeeee", "____0"},
        {"0000.", 1, ".", "eeeee", "____."}, // blank after three zeros, separator or not
        {"12.5", 2, ".", "eeeee", "+_12.5"}, {"90", 2, ".", "eeeee", "+___90"},
        {"12.5", 3, ".", "eeeee", "_12.5"},  {"12.5", 0, ".", "eeeee", "_12.5"},
        {"12.5", -1, ".", "eeeee", "_12.5"}, {"-1.5", 1, ".", "34567", "_41.5"},
        {"1 2", 1, ".", "34567", "__162"},   {"abcde", 1, ".", "34567", "34567"},
        {"12,5", 1, ",", "34567", "_12.5"},  {"12.5", 1, ",", "34567", "_1265"},
        {"0,5", 1, ",", "34567", "__0.5"},   {"", 2, ".", "eeeee", "eeeee"},
        {"", 1, ".", "12345", "eeeee"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << '"' << c.text << "\" set " << c.set << " " << c.separator);
        EXPECT_EQ(pictureIndices(c.set, c.text, c.separator, pictures(c.previous)),
                  pictures(c.shown));
    }

    TestEnvironment env; // puts the separator back
    ZelkGlobals::DecimalSeparator = ",";
    OstransDisplay display;
    display.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
    EXPECT_EQ(pictures("eeeee"),
              (Pictures{display.pictureAt(1), display.pictureAt(2), display.pictureAt(3),
                        display.pictureAt(4), display.pictureAt(5)}));
    display.TextValue(2, "12,5");
    EXPECT_EQ(display.pictureAt(4), DisplayPictures::SetSize + P);
    EXPECT_TRUE(display.digitsType() == 2 && display.text() == "12,5");
    // The minus keeps the picture before; outside 1 to 5 there is none.
    display.TextValue(1, "-3,5");
    EXPECT_EQ((std::array{display.pictureAt(0), display.pictureAt(2), display.pictureAt(3),
                          display.pictureAt(6)}),
              (std::array{0, DisplayPictures::SetSize + 1, 3, 0}));

    display.setFocus();
    QSignalSpy keys(&display, &OstransDisplay::ControlsKeyUp);

    QTest::keyClick(&display, Qt::Key_A, Qt::ShiftModifier);
    QTest::keyClick(&display, Qt::Key_F1);
    QTest::keyClick(&display, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyRelease(&display, Qt::Key_Down, Qt::NoModifier);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(&display, &repeat);

    // A chord also releases its modifier key: Shift 16, Ctrl 17.
    QList<QPair<int, int>> released;
    for (const auto &args : keys)
        released.append({args.at(0).value<qint16>(), args.at(1).value<qint16>()});
    EXPECT_EQ(released,
              (QList<QPair<int, int>>{{65, 1}, {16, 0}, {112, 0}, {13, 2}, {17, 0}, {40, 0}}));
}
