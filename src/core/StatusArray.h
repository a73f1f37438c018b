#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// Eight 16-bit status flags as the device fills them, indexed 1..8 like the
// device's arrays. An index outside 1..8 reads 0 and writes nowhere, so a bad
// index never touches memory it does not own.
class StatusArray
{
public:
    StatusArray() { m_values.fill(0); }

    qint16 operator()(int index) const { return valid(index) ? m_values[index - 1] : 0; }
    void set(int index, qint16 value)
    {
        if (valid(index))
            m_values[index - 1] = value;
    }
    void clear() { m_values.fill(0); }

    // The status text: one character per element, element 1 first, "1" for a
    // set flag and "0" otherwise. A value other than 0 or 1 must not stretch
    // the text and shift the positions after it.
    QString toStatusText() const
    {
        QString text(8, QLatin1Char('0'));
        for (int i = 0; i < 8; ++i) {
            if (m_values[i] == 1)
                text[i] = QLatin1Char('1');
        }
        return text;
    }

    bool operator==(const StatusArray &other) const { return m_values == other.m_values; }

private:
    static bool valid(int index) { return index >= 1 && index <= 8; }
    std::array<qint16, 8> m_values;
};
