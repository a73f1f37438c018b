#pragma once

#include "controls/PropertyBag.h"

#include <QList>
#include <QPair>
#include <QStringList>

// A property bag held in memory: keeps the order of writes and logs every
// read, so a caller can check which properties were saved and in what order.
class MemoryPropertyBag : public PropertyBag
{
public:
    QVariant ReadProperty(const QString &name, const QVariant &defaultValue = {}) override;
    void WriteProperty(const QString &name, const QVariant &value,
                       const QVariant &defaultValue = {}) override;

    // Names stored, in the order they were first written.
    QStringList keys() const;
    bool contains(const QString &name) const;
    QVariant value(const QString &name) const;
    // Every name asked for by ReadProperty, in order.
    QStringList readLog() const { return m_readLog; }
    void clear();

private:
    qsizetype indexOf(const QString &name) const;

    QList<QPair<QString, QVariant>> m_entries;
    QStringList m_readLog;
};
