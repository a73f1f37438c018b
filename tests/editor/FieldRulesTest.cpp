// The editor's field rules on their own: ranges, margins, fallbacks and the
// exact words of each refusal.
#include "editor/FieldRules.h"

#include <gtest/gtest.h>

namespace {
const QString Dot = QStringLiteral(".");
using Mode = FieldRules::LimitMode;
} // namespace

// Catches wrong 12.5 % margins, a lost "0 disables" rule or a high limit that
// may fall to or below the low one.
TEST(FieldRules, ModuleGoodLimitsKeepTheirMarginsAndOrder)
{
    // A module rated 5 to 15 V.
    EXPECT_TRUE(
        FieldRules::highLimit(QStringLiteral("4.375"), QStringLiteral("0"), 5, 15, Dot).accepted);
    EXPECT_TRUE(
        FieldRules::highLimit(QStringLiteral("16.875"), QStringLiteral("0"), 5, 15, Dot).accepted);
    EXPECT_FALSE(
        FieldRules::highLimit(QStringLiteral("16.9"), QStringLiteral("0"), 5, 15, Dot).accepted);
    EXPECT_FALSE(
        FieldRules::highLimit(QStringLiteral("4.37"), QStringLiteral("0"), 5, 15, Dot).accepted);
    EXPECT_TRUE(
        FieldRules::highLimit(QStringLiteral("0"), QStringLiteral("14"), 5, 15, Dot).accepted);
    EXPECT_FALSE(
        FieldRules::highLimit(QStringLiteral("12"), QStringLiteral("12"), 5, 15, Dot).accepted);
    EXPECT_FALSE(
        FieldRules::lowLimit(QStringLiteral("12"), QStringLiteral("12"), 5, 15, Dot).accepted);
    EXPECT_TRUE(
        FieldRules::lowLimit(QStringLiteral("11.9"), QStringLiteral("12"), 5, 15, Dot).accepted);
    EXPECT_TRUE(
        FieldRules::lowLimit(QStringLiteral("0"), QStringLiteral("12"), 5, 15, Dot).accepted);
    // A range end that is no exact binary fraction (3.6 x 1.125) still passes.
    EXPECT_TRUE(
        FieldRules::highLimit(QStringLiteral("4.05"), QStringLiteral("0"), 1, 3.6, Dot).accepted);

    const FieldRules::Verdict high =
        FieldRules::highLimit(QStringLiteral("16.9"), QStringLiteral("0"), 5, 15, Dot);
    EXPECT_EQ(high.text, QStringLiteral("16.9"));
    EXPECT_EQ(high.message,
              QStringLiteral("16.9  is invalid value, should be between 4.375 (-12.5% of Min. "
                             "Volt.) and 16.875 (+12.5% of Max. Volt.)  And greater than "
                             "Low-Limit [Or 0 to Disable]"));
    EXPECT_TRUE(FieldRules::lowLimit(QStringLiteral("3"), QStringLiteral("0"), 5, 15, Dot)
                    .message.endsWith(QStringLiteral(" (+12.5% of Max. Volt.)  And smaller than "
                                                     "High-Limit [Or 0 to Disable]")));

    for (const QString &blank : {QString(), QStringLiteral("abc")}) {
        const FieldRules::Verdict v = FieldRules::highLimit(blank, QStringLiteral("9"), 5, 15, Dot);
        EXPECT_TRUE(v.accepted);
        EXPECT_EQ(v.text, QStringLiteral("0"));
        EXPECT_TRUE(v.message.isEmpty());
    }
}

// Catches off-by-one ranges of the delays and times, a missing short-span
// warning, or an empty time box that is not read as 0.
TEST(FieldRules, DelaysAndTimesHaveTheirRanges)
{
    EXPECT_TRUE(FieldRules::startUpDelay(QStringLiteral("65000"), Dot).accepted);
    const FieldRules::Verdict over = FieldRules::startUpDelay(QStringLiteral("65001"), Dot);
    EXPECT_FALSE(over.accepted);
    EXPECT_EQ(over.message, QStringLiteral("65001 is out of range, please enter value between 0ms "
                                           "and 65000ms"));
    EXPECT_FALSE(FieldRules::startUpDelay(QStringLiteral("-1"), Dot).accepted);
    EXPECT_EQ(FieldRules::startUpDelay(QStringLiteral("x"), Dot).message,
              QStringLiteral("Please enter numeric value."));
    EXPECT_EQ(FieldRules::startUpDelay(QString(), Dot).text, QStringLiteral("0"));

    const FieldRules::Verdict max = FieldRules::limitTime(QStringLiteral("65535"), Dot);
    EXPECT_TRUE(max.accepted);
    EXPECT_TRUE(max.message.isEmpty());
    EXPECT_EQ(FieldRules::limitTime(QStringLiteral("65536"), Dot).message,
              QStringLiteral("65536 is out of range, please enter value between 0ms and 65536ms"));
    const FieldRules::Verdict shortSpan = FieldRules::limitTime(QStringLiteral("2"), Dot);
    EXPECT_TRUE(shortSpan.accepted);
    EXPECT_EQ(shortSpan.message,
              QStringLiteral("2 is a short time span, this may lead to unexpected operation"));
    EXPECT_TRUE(FieldRules::limitTime(QStringLiteral("3"), Dot).message.isEmpty());
    // An emptied box is a typed 0, warning included.
    for (const QString &zero : {QString(), QStringLiteral("0")}) {
        const FieldRules::Verdict v = FieldRules::limitTime(zero, Dot);
        EXPECT_TRUE(v.accepted);
        EXPECT_EQ(v.text, QStringLiteral("0"));
        EXPECT_EQ(v.message,
                  QStringLiteral("0 is a short time span, this may lead to unexpected operation"));
    }

    EXPECT_TRUE(FieldRules::limitTimeMarksChange(QStringLiteral("65535"), Dot));
    EXPECT_FALSE(FieldRules::limitTimeMarksChange(QStringLiteral("65536"), Dot));
    EXPECT_FALSE(FieldRules::limitTimeMarksChange(QStringLiteral("1x"), Dot));

    EXPECT_TRUE(FieldRules::timeBoxTakesChar(QLatin1Char('1'), 4, 0));
    EXPECT_FALSE(FieldRules::timeBoxTakesChar(QLatin1Char('1'), 5, 0));
    EXPECT_FALSE(FieldRules::timeBoxTakesChar(QLatin1Char('.'), 5, 0));
    EXPECT_TRUE(FieldRules::timeBoxTakesChar(QLatin1Char('1'), 5, 5)); // typing over all of it
}

// Catches a set-point or current limit that escapes the rated range, or an
// empty field that does not take the slider's or scroll bar's value.
TEST(FieldRules, SetpointAndCurrentLimitFollowTheRatings)
{
    EXPECT_TRUE(FieldRules::setpoint(QStringLiteral("15"), 0, 5, 15, Dot).accepted);
    const FieldRules::Verdict high = FieldRules::setpoint(QStringLiteral("15.1"), 0, 5, 15, Dot);
    EXPECT_FALSE(high.accepted);
    EXPECT_EQ(high.message,
              QStringLiteral("15.1 is out of range, please enter value between 5 and 15"));
    const FieldRules::Verdict empty = FieldRules::setpoint(QString(), 123, 5, 15, Dot);
    EXPECT_TRUE(empty.accepted);
    EXPECT_EQ(empty.text, QStringLiteral("12.3"));

    EXPECT_TRUE(FieldRules::currentLimit(QStringLiteral("30"), 0, 30, Dot).accepted);
    EXPECT_EQ(FieldRules::currentLimit(QStringLiteral("30.5"), 0, 30, Dot).message,
              QStringLiteral("30.5 is out of range, please enter value between 0 and 30"));
    EXPECT_EQ(FieldRules::currentLimit(QString(), 17, 30, Dot).text, QStringLiteral("17"));
    EXPECT_EQ(FieldRules::currentLimit(QStringLiteral(","), 17, 30, Dot).message,
              QStringLiteral("Please enter numeric value."));
}

// Catches a mode button mapped to the wrong module or mode.
TEST(FieldRules, LimitButtonsMapToModuleAndMode)
{
    for (int m = 1; m <= 5; ++m) {
        for (Mode mode : {Mode::Normal, Mode::Latching, Mode::Hiccup, Mode::CurrentShare}) {
            const int index = FieldRules::limitButton(m, mode);
            EXPECT_EQ(FieldRules::moduleOfLimitButton(index), m) << index;
            EXPECT_EQ(FieldRules::modeOfLimitButton(index), mode) << index;
        }
    }
    EXPECT_EQ(FieldRules::limitButton(2, Mode::Hiccup), 6);
    EXPECT_EQ(FieldRules::limitButton(3, Mode::CurrentShare), 18);
}
