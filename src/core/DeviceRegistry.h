#pragma once

#include "core/ZelkDevice.h"

#include <QString>
#include <functional>
#include <memory>

// Device objects are made by identifier, the way an automation server is
// looked up by its registered name. A device library registers its
// identifiers; an identifier nobody registered cannot be created.
using DeviceFactory = std::function<std::unique_ptr<ZelkDevice>()>;

void registerDeviceObject(const QString &identifier, DeviceFactory factory);
void unregisterDeviceObject(const QString &identifier);

// The one device object for the identifier, or null with errorText set to
// the text the platform gives for an unregistered server.
[[nodiscard]] std::unique_ptr<ZelkDevice> CreateDeviceObject(const QString &identifier,
                                                             QString *errorText = nullptr);

// The platform's text for a server that is not registered.
QString unregisteredServerText(const QString &identifier);
