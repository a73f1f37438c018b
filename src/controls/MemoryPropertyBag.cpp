#include "controls/MemoryPropertyBag.h"

QVariant MemoryPropertyBag::ReadProperty(const QString &name, const QVariant &defaultValue)
{
    m_readLog.append(name);
    const qsizetype i = indexOf(name);
    return i < 0 ? defaultValue : m_entries.at(i).second;
}

void MemoryPropertyBag::WriteProperty(const QString &name, const QVariant &value,
                                      const QVariant &defaultValue)
{
    const qsizetype i = indexOf(name);
    if (defaultValue.isValid() && value == defaultValue) {
        if (i >= 0)
            m_entries.removeAt(i);
        return;
    }
    if (i >= 0)
        m_entries[i].second = value;
    else
        m_entries.append({name, value});
}

QStringList MemoryPropertyBag::keys() const
{
    QStringList names;
    for (const auto &entry : m_entries)
        names.append(entry.first);
    return names;
}

bool MemoryPropertyBag::contains(const QString &name) const
{
    return indexOf(name) >= 0;
}

QVariant MemoryPropertyBag::value(const QString &name) const
{
    const qsizetype i = indexOf(name);
    return i < 0 ? QVariant() : m_entries.at(i).second;
}

void MemoryPropertyBag::clear()
{
    m_entries.clear();
    m_readLog.clear();
}

qsizetype MemoryPropertyBag::indexOf(const QString &name) const
{
    // Property names are not case-sensitive.
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
