#pragma once

#include <QString>
#include <QtGlobal>

// The unit address as a caller hands it to the device: most methods pass the
// unit ID as its decimal text, a few as a 16-bit integer. The device accepts
// either and reads the number out of it.
class UnitArg
{
public:
    UnitArg(const QString &text)
        : m_text(text)
    {}
    UnitArg(const char *text)
        : m_text(QString::fromUtf8(text))
    {}
    UnitArg(qint16 number)
        : m_text(QString::number(number))
        , m_isNumber(true)
    {}
    UnitArg(int number)
        : m_text(QString::number(number))
        , m_isNumber(true)
    {}

    const QString &text() const { return m_text; }
    bool passedAsNumber() const { return m_isNumber; }
    // The unit number, or 0 when the text is not a whole number.
    int number() const
    {
        bool ok = false;
        const int n = m_text.trimmed().toInt(&ok);
        return ok ? n : 0;
    }

private:
    QString m_text;
    bool m_isNumber = false;
};
