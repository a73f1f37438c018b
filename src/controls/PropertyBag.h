#pragma once

#include <QString>
#include <QVariant>

// Where a control keeps its design-time properties with its host window.
// Writing a value equal to its default stores nothing, so a host saved with
// default properties carries none of them.
class PropertyBag
{
public:
    virtual ~PropertyBag() = default;

    // The stored value, or defaultValue when the bag has none under that name.
    virtual QVariant ReadProperty(const QString &name, const QVariant &defaultValue = {}) = 0;
    virtual void WriteProperty(const QString &name, const QVariant &value,
                               const QVariant &defaultValue = {}) = 0;
};
