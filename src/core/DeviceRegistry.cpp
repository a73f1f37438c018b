#include "core/DeviceRegistry.h"

#include <QHash>

namespace {
QHash<QString, DeviceFactory> &factories()
{
    static QHash<QString, DeviceFactory> table;
    return table;
}
} // namespace

void registerDeviceObject(const QString &identifier, DeviceFactory factory)
{
    factories().insert(identifier.toLower(), std::move(factory));
}

void unregisterDeviceObject(const QString &identifier)
{
    factories().remove(identifier.toLower());
}

QString unregisteredServerText(const QString &identifier)
{
    return QStringLiteral("Cannot create the device object: \"%1\" is not registered.")
        .arg(identifier);
}

std::unique_ptr<ZelkDevice> CreateDeviceObject(const QString &identifier, QString *errorText)
{
    const auto it = factories().constFind(identifier.toLower());
    std::unique_ptr<ZelkDevice> device;
    if (it != factories().constEnd() && *it)
        device = (*it)();
    if (!device && errorText)
        *errorText = unregisteredServerText(identifier);
    return device;
}
