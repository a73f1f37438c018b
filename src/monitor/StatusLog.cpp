#include "monitor/StatusLog.h"

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
    setMaxHeld(m_maxHeld);
}

void StatusLog::setMaxHeld(qsizetype records)
{
    m_maxHeld = qMax<qsizetype>(1, records);
    while (qsizetype(m_records.size()) > m_maxHeld) {
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
    QByteArray text = m_header ? m_headerText.toUtf8() : QByteArray();
    for (quint64 n = firstShown(); n < nextNumber(); ++n)
        text += record(n);
    return text;
}
