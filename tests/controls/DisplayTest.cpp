// The numeric display: which picture each position shows, and the widget around it.
#include "TestSeams.h"
#include "controls/DisplayPictures.h"
#include "controls/OstransDisplay.h"
#include "core/ZelkGlobals.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using DisplayPictures::pictureIndices;
using DisplayPictures::Pictures;

constexpr int B = DisplayPictures::Blank;
constexpr int P = DisplayPictures::Point;
constexpr int Z = DisplayPictures::Zero;
constexpr int E = DisplayPictures::EmptyText;

} // namespace

// Catches wrong padding, lost digits, zeros blanked inside a number or leading zeros left
// visible, a digit set's offset missing or an unknown set used as one, other characters drawn
// instead of keeping the position's picture, a hard-wired "." instead of the user's separator,
// and an empty text shown as set 2's digit "1" (picture 13) in set 1.
TEST(DisplayPictures, EachPositionShowsItsPicture)
{
    constexpr int o = DisplayPictures::SetSize;
    ASSERT_EQ(E, 2 * o + 1);
    const Pictures fresh = {E, E, E, E, E}, before = {3, 4, 5, 6, 7};
    const struct
    {
        const char *text;
        int set;
        const char *separator;
        Pictures previous, shown;
    } cases[] = {
        {"12.5", 1, ".", fresh, {B, 1, 2, P, 5}},
        {"0.5", 1, ".", fresh, {B, B, Z, P, 5}},
        {"0", 1, ".", fresh, {B, B, B, B, Z}},
        {"123456", 1, ".", fresh, {2, 3, 4, 5, 6}},
        {"24.00", 1, ".", fresh, {2, 4, P, Z, Z}},
        {"100", 1, ".", fresh, {B, B, 1, Z, Z}},
        {"0.05", 1, ".", fresh, {B, Z, P, Z, 5}},
        {"1.05", 1, ".", fresh, {B, 1, P, Z, 5}},
        {"10005", 1, ".", fresh, {1, Z, Z, Z, 5}},
        {"0000.", 1, ".", fresh, {B, B, B, B, P}}, // blank after three zeros, separator or not
        {"00", 1, ".", fresh, {B, B, B, B, Z}},
        {"12.5", 2, ".", fresh, {o + B, o + 1, o + 2, o + P, o + 5}},
        {"90", 2, ".", fresh, {o + B, o + B, o + B, o + 9, o + Z}},
        {"12.5", 3, ".", fresh, {B, 1, 2, P, 5}},
        {"12.5", 0, ".", fresh, {B, 1, 2, P, 5}},
        {"12.5", -1, ".", fresh, {B, 1, 2, P, 5}},
        {"-1.5", 1, ".", before, {B, 4, 1, P, 5}},
        {"1 2", 1, ".", before, {B, B, 1, 6, 2}},
        {"abcde", 1, ".", before, before},
        {"12,5", 1, ",", before, {B, 1, 2, P, 5}},
        {"12.5", 1, ",", before, {B, 1, 2, 6, 5}},
        {"0,5", 1, ",", before, {B, B, Z, P, 5}},
        {"", 2, ".", fresh, fresh},
        {"", 1, ".", {1, 2, 3, 4, 5}, fresh},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << '"' << c.text << "\" set " << c.set << " " << c.separator);
        EXPECT_EQ(pictureIndices(c.set, c.text, c.separator, c.previous), c.shown);
    }
}

// Catches the widget losing the previous pictures between readings or ignoring the global
// separator.
TEST(OstransDisplay, ShowsReadingsWithTheUserSeparator)
{
    TestEnvironment env; // puts the separator back
    ZelkGlobals::DecimalSeparator = QStringLiteral(",");
    OstransDisplay display;
    display.show();
    for (int p = 1; p <= 5; ++p)
        EXPECT_EQ(display.pictureAt(p), E);

    display.TextValue(2, QStringLiteral("12,5"));
    EXPECT_EQ(display.pictureAt(4), DisplayPictures::SetSize + P);
    EXPECT_EQ(display.digitsType(), 2);
    EXPECT_EQ(display.text(), QStringLiteral("12,5"));

    display.TextValue(1, QStringLiteral("-3,5"));
    EXPECT_EQ(display.pictureAt(2), DisplayPictures::SetSize + 1);
    EXPECT_EQ(display.pictureAt(3), 3);
    EXPECT_EQ(display.pictureAt(0), 0);
    EXPECT_EQ(display.pictureAt(6), 0);
}

// Catches key releases not raised, raised twice on auto-repeat, or with Qt's key numbers.
TEST(OstransDisplay, RaisesControlsKeyUpWithDesignKeyCodes)
{
    OstransDisplay display;
    display.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
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
