// The editor's field rules on their own: ranges, margins, fallbacks and the
// exact words of each refusal.
#include "configfile/FieldRules.h"

#include <gtest/gtest.h>

namespace {
using Mode = FieldRules::LimitMode;
const QString Dot = ".";
const QString Limits = QStringLiteral(
    "  is invalid value, should be between 4.375 (-12.5% of Min. Volt.) and 16.875 (+12.5% of "
    "Max. Volt.)  And ");
const QString Numeric = "Please enter numeric value.";
const QString ShortSpan = " is a short time span, this may lead to unexpected operation";
} // namespace

// Catches wrong 12.5 % margins, a lost "0 disables" rule, a high limit that may
// fall to the low one, off-by-one delays and times, a missing short-span
// warning, values beyond the ratings, an empty field that does not take its
// fallback, or a refusal in other words.
TEST(FieldRules, EachFieldKeepsItsRangeFallbackAndWordsTimeBoxKeysAndLimitButtons)
{
    struct Row
    {
        const char *what;
        FieldRules::Verdict verdict;
        bool accepted;
        const char *text; // what the field keeps; null: not checked
        QString message;
    };
    // Module-good limits of a module rated 5 to 15 V unless said otherwise.
    // Each field's refusal above its range and its highest accepted value are
    // the window's (Validation.RefusedValueKeepsFocusAndTextUntilCorrected).
    const Row rows[] = {
        {"high at -12.5%", FieldRules::highLimit("4.375", "0", 5, 15, Dot), true, "4.375", {}},
        {"high at +12.5%", FieldRules::highLimit("16.875", "0", 5, 15, Dot), true, nullptr, {}},
        {"high below", FieldRules::highLimit("4.37", "0", 5, 15, Dot), false, nullptr,
         "4.37" + Limits + "greater than Low-Limit [Or 0 to Disable]"},
        {"high off", FieldRules::highLimit("0", "14", 5, 15, Dot), true, "0", {}},
        {"high equal to low", FieldRules::highLimit("12", "12", 5, 15, Dot), false, nullptr,
         "12" + Limits + "greater than Low-Limit [Or 0 to Disable]"},
        {"low under high", FieldRules::lowLimit("11.9", "12", 5, 15, Dot), true, nullptr, {}},
        {"low off", FieldRules::lowLimit("0", "12", 5, 15, Dot), true, nullptr, {}},
        {"margin binary", FieldRules::highLimit("4.05", "0", 1, 3.6, Dot), true, nullptr, {}},
        {"high empty", FieldRules::highLimit("", "9", 5, 15, Dot), true, "0", {}},
        {"high no number", FieldRules::highLimit("abc", "9", 5, 15, Dot), true, "0", {}},
        {"delay negative", FieldRules::startUpDelay("-1", Dot), false, nullptr,
         "-1 is out of range, please enter value between 0ms and 65000ms"},
        {"delay no number", FieldRules::startUpDelay("x", Dot), false, nullptr, Numeric},
        {"delay empty", FieldRules::startUpDelay("", Dot), true, "0", {}},
        {"time short", FieldRules::limitTime("2", Dot), true, "2", "2" + ShortSpan},
        {"time long enough", FieldRules::limitTime("3", Dot), true, nullptr, {}},
        {"time empty", FieldRules::limitTime("", Dot), true, "0", "0" + ShortSpan},
        {"time 0", FieldRules::limitTime("0", Dot), true, "0", "0" + ShortSpan},
        {"set-point above", FieldRules::setpoint("15.1", 0, 5, 15, Dot), false, nullptr,
         "15.1 is out of range, please enter value between 5 and 15"},
        {"set-point empty", FieldRules::setpoint("", 123, 5, 15, Dot), true, "12.3", {}},
        {"current above", FieldRules::currentLimit("30.5", 0, 30, Dot), false, nullptr,
         "30.5 is out of range, please enter value between 0 and 30"},
        {"current empty", FieldRules::currentLimit("", 17, 30, Dot), true, "17", {}},
        {"current no number", FieldRules::currentLimit(",", 17, 30, Dot), false, nullptr, Numeric},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(r.verdict.accepted, r.accepted);
        if (r.text) {
            EXPECT_EQ(r.verdict.text, QString::fromLatin1(r.text));
        }
        EXPECT_EQ(r.verdict.message, r.message);
    }

    // Catches a time box that takes a sixth character or a stray one, a time out
    // of range marked for writing, or a mode button mapped to the wrong module or mode.
    EXPECT_TRUE(FieldRules::limitTimeMarksChange("65535", Dot));
    EXPECT_FALSE(FieldRules::limitTimeMarksChange("65536", Dot));
    EXPECT_FALSE(FieldRules::limitTimeMarksChange("1x", Dot));
    EXPECT_TRUE(FieldRules::timeBoxTakesChar(QLatin1Char('1'), 4, 0));
    EXPECT_FALSE(FieldRules::timeBoxTakesChar(QLatin1Char('1'), 5, 0));
    EXPECT_FALSE(FieldRules::timeBoxTakesChar(QLatin1Char('.'), 5, 0));
    EXPECT_TRUE(FieldRules::timeBoxTakesChar(QLatin1Char('1'), 5, 5)); // typing over all of it

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
