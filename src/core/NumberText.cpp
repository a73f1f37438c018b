#include "NumberText.h"

#include <cmath>

namespace NumberText {

std::optional<double> toDouble(const QString &text, const QString &separator)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QChar sep = separator.isEmpty() ? QChar('.') : separator.at(0);
    QString normal;
    normal.reserve(t.size());
    int i = 0;
    if (t.at(0) == '+' || t.at(0) == '-') {
        normal += t.at(0);
        ++i;
    }
    int digits = 0;
    bool seenSeparator = false;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            normal += c;
            ++digits;
        } else if (c == sep && !seenSeparator) {
            normal += '.';
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < t.size()) {
        // Only an exponent may follow the mantissa.
        if (t.at(i) != 'e' && t.at(i) != 'E')
            return std::nullopt;
        normal += 'e';
        ++i;
        if (i < t.size() && (t.at(i) == '+' || t.at(i) == '-'))
            normal += t.at(i++);
        int expDigits = 0;
        for (; i < t.size() && t.at(i).isDigit() && t.at(i).unicode() < 128; ++i, ++expDigits)
            normal += t.at(i);
        if (expDigits == 0 || i < t.size())
            return std::nullopt;
    }
    bool ok = false;
    const double value = normal.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint16> roundToInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // default rounding: halves to even
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

std::optional<qint16> toInt16(const QString &text, const QString &separator)
{
    const auto value = toDouble(text, separator);
    if (!value)
        return std::nullopt;
    return roundToInt16(*value);
}

QString fromDouble(double value, const QString &separator)
{
    QString text = QString::number(value, 'g', 15);
    if (separator != QLatin1String("."))
        text.replace('.', separator);
    return text;
}

} // namespace NumberText
