#include "configfile/FieldRules.h"

#include "configfile/UnitConfigDisplay.h"
#include "core/NumberText.h"
#include "core/ZelkTexts.h"

#include <cmath>

namespace {

// Ratings products such as 3.6 x 1.125 land a hair off the decimal the user
// types; the range ends must still be accepted as written.
constexpr double Fuzz = 1e-9;

std::optional<double> number(const QString &text, const QString &sep)
{
    return NumberText::toDouble(text.trimmed(), sep);
}

FieldRules::Verdict accept(const QString &text, double value)
{
    return {true, text, QString(), value};
}

FieldRules::Verdict refuse(const QString &text, const QString &message)
{
    return {false, text, message, 0};
}

} // namespace

QString FieldRules::numberText(double value, const QString &sep)
{
    return NumberText::fromDouble(value, sep);
}

FieldRules::Verdict FieldRules::setpoint(const QString &text, int sliderValue, double minV,
                                         double maxV, const QString &sep)
{
    QString t = text;
    if (t.isEmpty())
        t = UnitConfigDisplay::roundedText(sliderValue / 10.0, 2, sep);
    const auto value = number(t, sep);
    if (!value)
        return refuse(t, ZelkTexts::EnterNumericValue);
    if (*value >= minV - Fuzz && *value <= maxV + Fuzz)
        return accept(t, *value);
    return refuse(t, t.trimmed() + QStringLiteral(" is out of range, please enter value between ") +
                         numberText(minV, sep) + QStringLiteral(" and ") + numberText(maxV, sep));
}

FieldRules::Verdict FieldRules::limit(const QString &text, const QString &otherText, double minV,
                                      double maxV, const QString &sep, bool high)
{
    const auto parsed = number(text, sep);
    if (!parsed)
        return accept(QStringLiteral("0"), 0); // no number: the limit is off
    const double value = *parsed;
    if (value == 0)
        return accept(text, 0);
    const double lo = minV * (1.0 - LimitMargin);
    const double hi = maxV * (1.0 + LimitMargin);
    const double other = number(otherText, sep).value_or(0.0);
    const bool ordered = other == 0 || (high ? value > other : value < other);
    if (value >= lo - Fuzz && value <= hi + Fuzz && ordered)
        return accept(text, value);
    return refuse(text, text.trimmed() + QStringLiteral("  is invalid value, should be between ") +
                            numberText(lo, sep) + QStringLiteral(" (-12.5% of Min. Volt.) and ") +
                            numberText(hi, sep) + QStringLiteral(" (+12.5% of Max. Volt.)  And ") +
                            (high ? QStringLiteral("greater than Low-Limit")
                                  : QStringLiteral("smaller than High-Limit")) +
                            QStringLiteral(" [Or 0 to Disable]"));
}

FieldRules::Verdict FieldRules::highLimit(const QString &text, const QString &lowText, double minV,
                                          double maxV, const QString &sep)
{
    return limit(text, lowText, minV, maxV, sep, true);
}

FieldRules::Verdict FieldRules::lowLimit(const QString &text, const QString &highText, double minV,
                                         double maxV, const QString &sep)
{
    return limit(text, highText, minV, maxV, sep, false);
}

FieldRules::Verdict FieldRules::currentLimit(const QString &text, int scrollValue, int scrollMax,
                                             const QString &sep)
{
    const QString t = text.isEmpty() ? QString::number(scrollValue) : text;
    const auto value = number(t, sep);
    if (!value)
        return refuse(t, ZelkTexts::EnterNumericValue);
    if (*value >= 0 && *value <= scrollMax + Fuzz)
        return accept(t, *value);
    return refuse(t, t.trimmed() +
                         QStringLiteral(" is out of range, please enter value between 0 and ") +
                         QString::number(scrollMax));
}

FieldRules::Verdict FieldRules::startUpDelay(const QString &text, const QString &sep)
{
    if (text.trimmed().isEmpty())
        return accept(QStringLiteral("0"), 0);
    const auto value = number(text, sep);
    if (!value)
        return refuse(text, ZelkTexts::EnterNumericValue);
    if (*value >= 0 && *value <= MaxStartUpDelayMs)
        return accept(text, *value);
    return refuse(text, text.trimmed() + QStringLiteral(" is out of range, please enter value "
                                                        "between 0ms and 65000ms"));
}

FieldRules::Verdict FieldRules::limitTime(const QString &typed, const QString &sep)
{
    // An emptied box is a 0, and warned about like a typed one.
    const QString text = typed.trimmed().isEmpty() ? QStringLiteral("0") : typed;
    const auto value = number(text, sep);
    // A time that is no number would reach the unit as nonsense.
    if (!value)
        return refuse(text, ZelkTexts::EnterNumericValue);
    if (*value > MaxLimitTimeMs)
        return refuse(text, text.trimmed() + QStringLiteral(" is out of range, please enter value "
                                                            "between 0ms and 65536ms"));
    Verdict v = accept(text, *value);
    if (*value < ShortTimeSpanMs)
        v.message = text.trimmed() +
                    QStringLiteral(" is a short time span, this may lead to unexpected operation");
    return v;
}

bool FieldRules::limitTimeMarksChange(const QString &text, const QString &sep)
{
    const auto value = number(text, sep);
    return value && *value >= 0 && *value < MaxLimitTimeMs + 1;
}

bool FieldRules::timeBoxTakesChar(QChar c, int length, int selectedLength)
{
    if (!c.isDigit() && c != QLatin1Char('.'))
        return true;
    // Typing over a selection replaces it, so the box never grows past five.
    return length - selectedLength < TimeBoxChars;
}

int FieldRules::moduleOfLimitButton(int index)
{
    if (index >= 1 && index <= 15)
        return (index + 2) / 3;
    if (index >= 16 && index <= 20)
        return index - 15;
    return 0;
}

FieldRules::LimitMode FieldRules::modeOfLimitButton(int index)
{
    if (index >= 16)
        return LimitMode::CurrentShare;
    switch (index % 3) {
    case 2:
        return LimitMode::Latching;
    case 0:
        return LimitMode::Hiccup;
    default:
        return LimitMode::Normal;
    }
}

int FieldRules::limitButton(int m, LimitMode mode)
{
    switch (mode) {
    case LimitMode::Normal:
        return 3 * m - 2;
    case LimitMode::Latching:
        return 3 * m - 1;
    case LimitMode::Hiccup:
        return 3 * m;
    case LimitMode::CurrentShare:
        return 15 + m;
    }
    return 3 * m - 2;
}
