#include "StatusLog.h"

#include "StatusLogFormat.h"

bool StatusLog::addHeader()
{
    if (!isEmpty())
        return false;
    append(StatusLogFormat::header());
    return true;
}

void StatusLog::append(const QString &text)
{
    m_bytes += text.toUtf8();
}

void StatusLog::clear()
{
    m_bytes.clear();
    ++m_generation;
}
