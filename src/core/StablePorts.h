#pragma once

#include <QString>
#include <vector>

// Stable names of serial ports: the links the system keeps in
// /dev/serial/by-id, named after the adapter and leading to whichever
// /dev/ttyUSBn it got this time. A port stored by such a name, or a short
// name stored with its adapter, still finds the adapter after it was plugged
// in again elsewhere.
namespace StablePorts {

inline const QString DefaultFolder = QStringLiteral("/dev/serial/by-id");

// Where the links are looked for; empty sets the default back. Set before any
// port is opened (tests name a folder of their own links).
QString folder();
void setFolder(const QString &folder);

struct Entry
{
    QString stablePath; // the link in folder()
    QString device;     // what it leads to, every link followed
};
// The links that lead to something present, by name.
std::vector<Entry> list();

// Whether the path names an entry of folder(), present or not.
bool isStablePath(const QString &path);
// The stable path that leads to the same device as the path (links followed
// on both sides), or empty.
QString stableNameOf(const QString &path);

// The device path of a port name: COM1..COM9 as [PORTS] of the settings file
// maps them, else /dev/ttyS0..8; any other name as it stands.
QString devicePath(const QString &port, const QString &guiIniPath);

enum class Found {
    NoAdapter, // none remembered, or not a stable path
    InPlace,   // the adapter is at the stored name's device
    Moved,     // plugged in elsewhere: open where it sits
    Unplugged, // nowhere: the stored name is opened as it stands
};
struct Choice
{
    Found found = Found::NoAdapter;
    QString path;   // the device to open
    QString notice; // for Moved: what to tell the user
};
// Where to open the port the user named `name`, whose device path is `path`
// and whose adapter was remembered as the stable path `adapter`.
Choice resolve(const QString &name, const QString &path, const QString &adapter);

} // namespace StablePorts
