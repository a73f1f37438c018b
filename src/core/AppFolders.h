#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its files. Portable: the executable's folder holds
// the shipped data and is writable, so everything lives there (the build
// folder, an unpacked archive). Installed: the settings live in a per-user
// folder under $XDG_DATA_HOME, seeded from share/zelksoft beside the
// executable's folder, and read-only shipped files (the help) are read from
// share/zelksoft itself. --app-dir and ZELK_APP_DIR win over both.
class AppFolders
{
public:
    // What the choice depends on, read from the process or given by a test.
    struct Environment
    {
        QStringList arguments;
        QString appDirVariable; // ZELK_APP_DIR
        QString executableFolder;
        QString dataHome; // XDG_DATA_HOME
        QString home;
    };
    static Environment fromProcess(const QStringList &arguments);

    // --app-dir DIR or --app-dir=DIR among arguments (the first is the
    // program; the last one given wins). Given without a folder, the caller
    // must refuse to start: guessing a folder would use the wrong settings.
    struct AppDirOption
    {
        bool given = false;
        QString folder;
        [[nodiscard]] bool missingFolder() const { return given && folder.isEmpty(); }
    };
    static AppDirOption appDirOption(const QStringList &arguments);
    static const QString AppDirFlag; // "--app-dir"

    // Chooses the folders and, when installed, creates and seeds the per-user
    // folder; when that folder cannot be made or written, says so in failure.
    static AppFolders resolve(const Environment &env);

    // Copies the shipped files the user does not have yet into userFolder
    // (all but the help); never replaces one. A shipped scale.ini that changed since
    // it was last seeded is put beside the user's as scale.ini.new. Returns
    // lines for the error file; the ones the user must also hear of at once
    // (that scale.ini.new) are added to tell.
    static QStringList seed(const QString &shippedFolder, const QString &userFolder,
                            QStringList *tell = nullptr);

    // The shipped folder's place relative to the executable's.
    static const QString ShareRelative;
    static const QString NewSuffix;
    // Where the last seeded scale.ini's hash is kept, in the per-user folder.
    static const QString SeedRecord;

    QString applicationFolder; // settings, the simulated bus, the error file, logs
    QString shippedFolder;     // read-only shipped files
    bool installed = false;
    QStringList notes; // for the error file, once start-up knows it
    QStringList tell;  // of those, what start-up also tells the user, once
    // Set when the per-user folder cannot be made or written: which folder and
    // why, for the user. The program must not start without its folder.
    QString failure;
};
