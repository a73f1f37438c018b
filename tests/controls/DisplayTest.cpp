// The numeric display: which picture each position shows, and the widget around it.
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
const QString Dot = QStringLiteral(".");
const Pictures Fresh = {E, E, E, E, E};

Pictures show(const QString &text, int digitsType = 1, const Pictures &previous = Fresh)
{
    return pictureIndices(digitsType, text, Dot, previous);
}

// Restores the global separator whatever a test does with it.
class SeparatorGuard
{
public:
    explicit SeparatorGuard(const QString &separator)
        : m_saved(ZelkGlobals::DecimalSeparator)
    {
        ZelkGlobals::DecimalSeparator = separator;
    }
    ~SeparatorGuard() { ZelkGlobals::DecimalSeparator = m_saved; }

private:
    QString m_saved;
};
} // namespace

// Catches wrong padding, lost digits or a wrong leading-zero rule on everyday readings.
TEST(DisplayPictures, EverydayReadings)
{
    EXPECT_EQ(show("12.5"), (Pictures{B, 1, 2, P, 5}));
    EXPECT_EQ(show("0.5"), (Pictures{B, B, Z, P, 5}));
    EXPECT_EQ(show("0"), (Pictures{B, B, B, B, Z}));
    EXPECT_EQ(show("123456"), (Pictures{2, 3, 4, 5, 6}));
    EXPECT_EQ(show("24.00"), (Pictures{2, 4, P, Z, Z}));
}

// Catches zeros blanked inside a number, or leading zeros left visible.
TEST(DisplayPictures, OnlyLeadingZerosAreBlank)
{
    EXPECT_EQ(show("100"), (Pictures{B, B, 1, Z, Z}));
    EXPECT_EQ(show("0.05"), (Pictures{B, Z, P, Z, 5}));
    EXPECT_EQ(show("1.05"), (Pictures{B, 1, P, Z, 5}));
    EXPECT_EQ(show("10005"), (Pictures{1, Z, Z, Z, 5}));
    // Position 4 is blank after three zeros even when a separator follows.
    EXPECT_EQ(show("0000."), (Pictures{B, B, B, B, P}));
    EXPECT_EQ(show("00"), (Pictures{B, B, B, B, Z}));
}

// Catches the second set's offset missing or an unknown set number used as an offset.
TEST(DisplayPictures, DigitSets)
{
    constexpr int o = DisplayPictures::SetSize;
    EXPECT_EQ(show("12.5", 2), (Pictures{o + B, o + 1, o + 2, o + P, o + 5}));
    EXPECT_EQ(show("90", 2), (Pictures{o + B, o + B, o + B, o + 9, o + Z}));
    EXPECT_EQ(show("12.5", 3), show("12.5", 1));
    EXPECT_EQ(show("12.5", 0), show("12.5", 1));
    EXPECT_EQ(show("12.5", -1), show("12.5", 1));
}

// Catches other characters drawn as something instead of keeping the position's picture.
TEST(DisplayPictures, OtherCharactersKeepThePreviousPicture)
{
    const Pictures before = {3, 4, 5, 6, 7};
    EXPECT_EQ(show("-1.5", 1, before), (Pictures{B, 4, 1, P, 5}));
    EXPECT_EQ(show("1 2", 1, before), (Pictures{B, B, 1, 6, 2}));
    EXPECT_EQ(show("abcde", 1, before), before);
}

// Catches a hard-wired "." instead of the user's separator.
TEST(DisplayPictures, UsesTheGivenSeparator)
{
    const QString comma = QStringLiteral(",");
    const Pictures before = {3, 4, 5, 6, 7};
    EXPECT_EQ(pictureIndices(1, "12,5", comma, before), (Pictures{B, 1, 2, P, 5}));
    EXPECT_EQ(pictureIndices(1, "12.5", comma, before), (Pictures{B, 1, 2, 6, 5}));
    // A zero before the separator stays visible whatever the separator is.
    EXPECT_EQ(pictureIndices(1, "0,5", comma, before), (Pictures{B, B, Z, P, 5}));
}

// Catches an empty text shown as set 2's digit "1" (picture 13) in set 1.
TEST(DisplayPictures, EmptyTextShowsTheEmptyPicture)
{
    EXPECT_EQ(show("", 2), (Pictures{E, E, E, E, E}));
    EXPECT_EQ(show("", 1, {1, 2, 3, 4, 5}), (Pictures{E, E, E, E, E}));
    EXPECT_EQ(E, 2 * DisplayPictures::SetSize + 1);
}

// Catches the widget losing the previous pictures between readings or ignoring the global
// separator.
TEST(OstransDisplay, ShowsReadingsWithTheUserSeparator)
{
    SeparatorGuard guard(QStringLiteral(","));
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
