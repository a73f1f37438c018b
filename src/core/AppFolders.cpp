#include "core/AppFolders.h"

#include "core/IniFile.h"
#include "core/SettingsKeys.h"
#include "core/ZelkGlobals.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const QString AppFolders::ShareRelative = QStringLiteral("../share/zelksoft");
const QString AppFolders::NewSuffix = QStringLiteral(".new");
const QString AppFolders::SeedRecord = QStringLiteral("seeded.ini");
const QString AppFolders::AppDirFlag = QStringLiteral("--app-dir");

namespace {

const QString SeedSection = QStringLiteral("Seeded");

// scale.ini is shipped with every build and never written by the program, so
// its presence tells a folder that holds the data files.
bool holdsData(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(QDir(folder).filePath(SettingsFiles::Scale)).isFile();
}

QString overrideFolder(const AppFolders::Environment &env)
{
    if (const auto option = AppFolders::appDirOption(env.arguments); !option.folder.isEmpty())
        return QDir(option.folder).absolutePath();
    if (!env.appDirVariable.isEmpty())
        return QDir(env.appDirVariable).absolutePath();
    return {};
}

// $XDG_DATA_HOME/zelksoft; a relative XDG_DATA_HOME is invalid and ignored.
QString perUserFolder(const AppFolders::Environment &env)
{
    const QString base = QDir::isAbsolutePath(env.dataHome)
                             ? env.dataHome
                             : QDir(env.home).filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("zelksoft")));
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes folder and its missing parents. QDir::mkpath does not say why it
// failed, and the user must hear why: returns the reason, naming the parent
// that could not be made when it is not folder itself; empty when it exists.
QString makeFolder(const QString &folder)
{
    const QString target = QDir::cleanPath(QDir(folder).absolutePath());
    qsizetype slash = 0;
    do {
        slash = target.indexOf(QLatin1Char('/'), slash + 1);
        const QString part = slash < 0 ? target : target.left(slash);
        const QByteArray path = QFile::encodeName(part);
        struct stat info = {};
        int error = 0;
        if (::stat(path.constData(), &info) == 0)
            error = S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
        else if (::mkdir(path.constData(), 0777) != 0)
            error = errno;
        if (error != 0) {
            return part == target ? systemReason(error)
                                  : QStringLiteral("%1: %2").arg(part, systemReason(error));
        }
    } while (slash >= 0);
    return {};
}

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

} // namespace

AppFolders::Environment AppFolders::fromProcess(const QStringList &arguments)
{
    return {arguments, qEnvironmentVariable("ZELK_APP_DIR"), QCoreApplication::applicationDirPath(),
            qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath()};
}

AppFolders::AppDirOption AppFolders::appDirOption(const QStringList &arguments)
{
    AppDirOption option;
    const QString withValue = AppDirFlag + QLatin1Char('=');
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        if (word == AppDirFlag) {
            option = {true, i + 1 < arguments.size() ? arguments.at(++i) : QString()};
        } else if (word.startsWith(withValue)) {
            option = {true, word.mid(withValue.size())};
        }
    }
    return option;
}

AppFolders AppFolders::resolve(const Environment &env)
{
    AppFolders f;
    const QString chosen = overrideFolder(env);
    const QString exe = QDir::cleanPath(env.executableFolder);
    const QString share = QDir::cleanPath(QDir(exe).filePath(ShareRelative));
    if (!chosen.isEmpty()) {
        f.applicationFolder = chosen;
        f.shippedFolder = holdsData(chosen) || !holdsData(share) ? chosen : share;
        return f;
    }
    const bool beside = holdsData(exe);
    if (beside && QFileInfo(exe).isWritable()) {
        f.applicationFolder = f.shippedFolder = exe;
        return f;
    }
    // Installed, or a read-only folder that holds the data itself.
    const QString shipped = holdsData(share) ? share : beside ? exe : QString();
    if (shipped.isEmpty()) {
        // Nothing to seed from: start-up reports the missing files from here.
        f.applicationFolder = f.shippedFolder = exe;
        return f;
    }
    f.installed = true;
    f.shippedFolder = shipped;
    f.applicationFolder = perUserFolder(env);
    // Without its folder the program would start with no port and no
    // settings, and every later failure would point at the wrong cause.
    const QString hint = QStringLiteral("Set XDG_DATA_HOME to a folder you may write, or name "
                                        "one with --app-dir DIR.");
    if (const QString why = makeFolder(f.applicationFolder); !why.isEmpty()) {
        f.failure = QStringLiteral("Could not create the folder %1, where the program keeps its "
                                   "settings: %2.\n%3")
                        .arg(f.applicationFolder, why, hint);
        return f;
    }
    if (::access(QFile::encodeName(f.applicationFolder).constData(), W_OK | X_OK) != 0) {
        f.failure = QStringLiteral("Could not write in the folder %1, where the program keeps "
                                   "its settings: %2.\n%3")
                        .arg(f.applicationFolder, systemReason(errno), hint);
        return f;
    }
    f.notes << seed(shipped, f.applicationFolder, &f.tell);
    return f;
}

QStringList AppFolders::seed(const QString &shippedFolder, const QString &userFolder,
                             QStringList *tell)
{
    QStringList notes;
    const QDir from(shippedFolder);
    const QDir to(userFolder);
    // Copies keep the shipped file's read-only mode; the user owns these.
    const auto copy = [&notes](const QString &source, const QString &target) {
        if (!QFile::copy(source, target)) {
            notes << QStringLiteral("Could not copy %1 to %2").arg(source, target);
            return false;
        }
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
        return true;
    };
    // Every shipped file but the help, which is only read.
    for (const QString &name : from.entryList(QDir::Files)) {
        if (name == ZelkGlobals::HelpFileName)
            continue;
        const QString source = from.filePath(name);
        const QString target = to.filePath(name);
        if (QFileInfo(source).isFile() && !QFileInfo::exists(target))
            copy(source, target);
    }

    // Only the ratings table changes between versions in a way the user must
    // hear of; the other files are the user's own settings.
    const QString record = to.filePath(SeedRecord);
    const QString source = from.filePath(SettingsFiles::Scale);
    const QString target = to.filePath(SettingsFiles::Scale);
    const QString shippedHash = QString::fromLatin1(fileHash(source));
    if (shippedHash.isEmpty() || !QFileInfo::exists(target) ||
        IniFile::readString(record, SeedSection, SettingsFiles::Scale) == shippedHash)
        return notes;
    if (QString::fromLatin1(fileHash(target)) != shippedHash) {
        const QString offered = target + NewSuffix;
        QFile::remove(offered);
        if (!copy(source, offered))
            return notes;
        notes << QStringLiteral("A newer %1 came with the program; yours is kept and the new one "
                                "is %2: compare them and merge what you need")
                     .arg(SettingsFiles::Scale, offered);
        if (tell)
            *tell << notes.constLast();
    }
    if (!IniFile::writeValue(record, SeedSection, SettingsFiles::Scale, shippedHash))
        notes << QStringLiteral("Could not write %1").arg(record);
    return notes;
}
