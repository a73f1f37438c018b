#include "core/NumberText.h"

#include <QVarLengthArray>

#include <cmath>

namespace NumberText {

std::optional<double> toDouble(const QString &text, const QString &separator)
{
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QChar sep = separator.isEmpty() ? QChar('.') : separator.at(0);
    // The number in the C form, kept on the stack: the editor converts a few
    // dozen of these on each save.
    QVarLengthArray<char16_t, 48> normal;
    qsizetype i = 0;
    if (t.at(0) == '+' || t.at(0) == '-') {
        normal.append(t.at(0).unicode());
        ++i;
    }
    int digits = 0;
    bool seenSeparator = false;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            normal.append(c.unicode());
            ++digits;
        } else if (c == sep && !seenSeparator) {
            normal.append(u'.');
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
        normal.append(u'e');
        ++i;
        if (i < t.size() && (t.at(i) == '+' || t.at(i) == '-'))
            normal.append(t.at(i++).unicode());
        int expDigits = 0;
        for (; i < t.size() && t.at(i).isDigit() && t.at(i).unicode() < 128; ++i, ++expDigits)
            normal.append(t.at(i).unicode());
        if (expDigits == 0 || i < t.size())
            return std::nullopt;
    }
    bool ok = false;
    const double value = QStringView(normal.constData(), normal.size()).toDouble(&ok);
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
