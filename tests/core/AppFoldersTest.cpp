// Folder choice and seeding: a wrong mode, a user's file overwritten, a
// changed ratings table not offered (or offered again at every start).
#include "core/AppFolders.h"
#include "core/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

const QStringList Shipped{SettingsFiles::Scale, SettingsFiles::Gui, SettingsFiles::Tooltips,
                          SettingsFiles::Zelk};

class AppFoldersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char *folder : {"prefix/bin", "prefix/share/zelksoft", "portable", "home"})
            ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromLatin1(folder)));
        for (const QString &name : Shipped)
            write(share(name), "[shipped]\r\n" + name.toUtf8() + "\r\n");
        write(path("portable/scale.ini"), "[ratings]\r\n");
    }

    QString path(const QString &relative) const { return root.filePath(relative); }
    QString share(const QString &name = {}) const
    {
        return QDir::cleanPath(path(QStringLiteral("prefix/share/zelksoft/") + name));
    }
    QString user(const QString &name = {}) const
    {
        return QDir::cleanPath(path(QStringLiteral("data/zelksoft/") + name));
    }
    static void write(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir root;
};

} // namespace

// Catches the wrong folder for a layout: the build folder no longer portable,
// an installed copy writing beside /usr/bin, the overrides not winning, an
// invalid XDG_DATA_HOME used; and --app-dir=DIR ignored, a missing folder
// taken for no option (the default folder's settings used), and an earlier
// --app-dir winning.
TEST_F(AppFoldersTest, ChoosesTheFolderForEachLayoutAndReadsTheOption)
{
    const QString bin = path("prefix/bin"), portable = path("portable"), home = path("home");
    const QString other = path("other"), data = path("data"), shared = share();
    struct Row
    {
        const char *what;
        AppFolders::Environment env;
        QString folder, shipped;
        bool installed;
    };
    const Row rows[] = {
        {"data beside", {{}, {}, portable, data, {}}, portable, portable, false},
        {"installed", {{}, {}, bin, data, {}}, user(), shared, true},
        {"relative XDG_DATA_HOME",
         {{}, {}, bin, "rel", home},
         home + "/.local/share/zelksoft",
         shared,
         true},
        {"--app-dir",
         {{"ZelkSoft", "--app-dir", other}, portable, bin, data, {}},
         other,
         shared,
         false},
        {"ZELK_APP_DIR", {{"ZelkSoft"}, other, bin, data, {}}, other, shared, false},
        {"nothing anywhere", {{}, {}, home, data, {}}, home, home, false},
    };
    for (const Row &row : rows) {
        const AppFolders f = AppFolders::resolve(row.env);
        EXPECT_EQ(f.applicationFolder, row.folder) << row.what;
        EXPECT_EQ(f.shippedFolder, row.shipped) << row.what;
        EXPECT_EQ(f.installed, row.installed) << row.what;
        EXPECT_TRUE(!row.installed ||
                    read(QDir(f.applicationFolder).filePath(SettingsFiles::Gui)) ==
                        read(share(SettingsFiles::Gui)))
            << row.what << ": not seeded";
    }
    EXPECT_FALSE(QFileInfo::exists(path("prefix/bin/scale.ini"))) << "wrote beside the program";

    // The option itself, in both forms.
    struct OptionRow
    {
        QStringList arguments;
        bool given, missing;
        QString folder;
    };
    const OptionRow options[] = {
        {{"zelkctl", "read", "1"}, false, false, {}},
        {{"zelkctl", "--app-dir", "/x", "read"}, true, false, "/x"},
        {{"zelkctl", "--app-dir=/x", "read"}, true, false, "/x"},
        {{"zelkctl", "--app-dir=/a", "--app-dir", "/b"}, true, false, "/b"},
        {{"zelkctl", "read", "--app-dir"}, true, true, {}},
        {{"zelkctl", "--app-dir=", "read"}, true, true, {}},
        {{"zelkctl", "--app-dir", "", "read"}, true, true, {}},
        {{"zelkctl", "--app-dirs=/x"}, false, false, {}},
        {{"--app-dir=/program"}, false, false, {}},
    };
    for (const OptionRow &row : options) {
        const AppFolders::AppDirOption option = AppFolders::appDirOption(row.arguments);
        const std::string what = row.arguments.join(u' ').toStdString();
        EXPECT_EQ(option.given, row.given) << what;
        EXPECT_EQ(option.missingFolder(), row.missing) << what;
        EXPECT_EQ(option.folder.toStdString(), row.folder.toStdString()) << what;
    }
}

// Catches seeding that overwrites the user's files, leaves them read-only,
// misses a changed ratings table, or nags about one change at every start; and
// a per-user folder that cannot be made passed off as made (the program then
// starts with no port and no settings), or told without the folder or the
// reason. A parent that is a file fails even for root.
TEST_F(AppFoldersTest, SeedsOnceOffersAChangedRatingsTableAndSaysWhichFolderCouldNotBeMade)
{
    ASSERT_TRUE(QDir().mkpath(user()));
    write(share(QStringLiteral("zelksdk.chm")), "help");
    EXPECT_TRUE(AppFolders::seed(share(), user()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(user("zelksdk.chm"))) << "the help copied";
    for (const QString &name : Shipped)
        EXPECT_TRUE(read(user(name)) == read(share(name)) && QFileInfo(user(name)).isWritable())
            << name.toStdString();

    write(user(SettingsFiles::Gui), "[PARAMS]\r\nport=COM3\r\n");
    write(user(SettingsFiles::Scale), "[mine]\r\n");
    EXPECT_TRUE(AppFolders::seed(share(), user()).isEmpty()) << "same shipped files";
    EXPECT_EQ(read(user(SettingsFiles::Gui)), "[PARAMS]\r\nport=COM3\r\n");
    EXPECT_FALSE(QFileInfo::exists(user("scale.ini.new")));

    const QByteArray newer = "[ratings v2]\r\n";
    write(share(SettingsFiles::Scale), newer);
    const QStringList notes = AppFolders::seed(share(), user());
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes.first().contains(user("scale.ini.new"))) << notes.first().toStdString();
    EXPECT_EQ((QByteArrayList{read(user("scale.ini.new")), read(user(SettingsFiles::Scale))}),
              (QByteArrayList{newer, "[mine]\r\n"}));

    QFile::remove(user("scale.ini.new"));
    EXPECT_TRUE(AppFolders::seed(share(), user()).isEmpty()) << "offered twice";
    EXPECT_FALSE(QFileInfo::exists(user("scale.ini.new")));

    // A user who already took the new table is not offered it.
    write(share(SettingsFiles::Scale), "[ratings v3]\r\n");
    write(user(SettingsFiles::Scale), "[ratings v3]\r\n");
    EXPECT_TRUE(AppFolders::seed(share(), user()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(user("scale.ini.new")));

    write(path("taken"), "a file, not a folder");
    AppFolders::Environment env{{"zelkctl"}, {}, path("prefix/bin"), path("taken/data"), {}};
    const AppFolders f = AppFolders::resolve(env);
    const QString folder = path("taken/data/zelksoft");
    EXPECT_TRUE(f.applicationFolder == folder && f.notes.isEmpty());
    EXPECT_EQ(f.failure.toStdString(),
              QStringLiteral("Could not create the folder %1, where the program keeps its "
                             "settings: %2: %3.\nSet XDG_DATA_HOME to a folder you may write, or "
                             "name one with --app-dir DIR.")
                  .arg(folder, path("taken"), QString::fromLocal8Bit(std::strerror(ENOTDIR)))
                  .toStdString());

    env.dataHome = path("data");
    EXPECT_TRUE(AppFolders::resolve(env).failure.isEmpty());
}
