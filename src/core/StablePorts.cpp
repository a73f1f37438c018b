#include "core/StablePorts.h"

#include "core/IniFile.h"
#include "core/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
QString g_stablePortsFolder;
} // namespace

namespace StablePorts {

QString folder()
{
    return g_stablePortsFolder.isEmpty() ? DefaultFolder : g_stablePortsFolder;
}

void setFolder(const QString &folder)
{
    g_stablePortsFolder = folder;
}

std::vector<Entry> list()
{
    std::vector<Entry> entries;
    const QFileInfoList links = QDir(folder()).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo &link : links) {
        // A dangling link is an adapter that is not plugged in.
        const QString device = link.canonicalFilePath();
        if (link.isSymLink() && !device.isEmpty() && !QFileInfo(device).isDir())
            entries.push_back({link.absoluteFilePath(), device});
    }
    return entries;
}

bool isStablePath(const QString &path)
{
    if (path.trimmed().isEmpty())
        return false;
    const QFileInfo info(path.trimmed());
    return QDir::cleanPath(info.absolutePath()) == QDir::cleanPath(QDir(folder()).absolutePath());
}

QString stableNameOf(const QString &path)
{
    const QString device = QFileInfo(path.trimmed()).canonicalFilePath();
    if (device.isEmpty())
        return {};
    for (const Entry &entry : list()) {
        if (entry.device == device)
            return entry.stablePath;
    }
    return {};
}

QString devicePath(const QString &port, const QString &guiIniPath)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString name = port.trimmed();
    const auto match = comName.match(name);
    if (!match.hasMatch())
        return name;
    if (!guiIniPath.isEmpty()) {
        // Read as written: a path is not a number to put in the user's locale.
        const QString mapped =
            IniFile::readString(guiIniPath, GuiIniKeys::PortsSection, name.toUpper()).trimmed();
        if (!mapped.isEmpty())
            return mapped;
    }
    return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
}

Choice resolve(const QString &name, const QString &path, const QString &adapter)
{
    // Only a link of the stable folder is followed: the key is not a way to
    // open any file at all.
    if (!isStablePath(adapter))
        return {Found::NoAdapter, path, {}};
    const QString at = QFileInfo(adapter.trimmed()).canonicalFilePath();
    if (at.isEmpty())
        return {Found::Unplugged, path, {}};
    if (QFileInfo(path).canonicalFilePath() == at)
        return {Found::InPlace, path, {}};
    return {Found::Moved, at,
            QStringLiteral("The adapter of %1 (%2) now sits at %3: %3 is used.")
                .arg(name, QFileInfo(adapter.trimmed()).fileName(), at)};
}

} // namespace StablePorts
