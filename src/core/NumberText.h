#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Numbers held as decimal texts in the user's decimal separator, converted
// where they are used.
namespace NumberText {

// A plain decimal number: optional sign, digits, at most one separator (the
// given one), optional exponent. Anything else is not a number.
std::optional<double> toDouble(const QString &text, const QString &separator);

// Rounds to the nearest whole number, halves to even, and fits 16 bits.
std::optional<qint16> toInt16(const QString &text, const QString &separator);
std::optional<qint16> roundToInt16(double value);

// Decimal text of a number with the given separator in place of ".".
QString fromDouble(double value, const QString &separator);

} // namespace NumberText
