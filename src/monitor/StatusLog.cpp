#include "StatusLog.h"

#include "StatusLogFormat.h"

bool StatusLog::addHeader()
{
    if (!isEmpty())
        return false;
    m_header = true;
    return true;
}

void StatusLog::append(const QString &record)
{
    m_records.push_back(record.toUtf8());
    if (qsizetype(m_records.size()) > MaxHeld) {
        m_records.pop_front();
        ++m_first;
    }
}

void StatusLog::clear()
{
    m_header = false;
    m_shownFrom = nextNumber();
}

QByteArray StatusLog::bytes() const
{
    QByteArray text = m_header ? StatusLogFormat::header().toUtf8() : QByteArray();
    for (quint64 n = firstShown(); n < nextNumber(); ++n)
        text += record(n);
    return text;
}
