// The single-copy lock: where it lives, and the real program started against
// a lock held by a running copy, left by a killed one, or made by another user.
#include "SmokeSupport.h"
#include "core_windows/QtDesktopServices.h"
#include "core_windows/ShownProbe.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the process holds an flock() on the file. Read from /proc/locks:
// taking the lock to look could turn away a copy starting at that moment.
bool holdsLock(qint64 pid, const QString &path)
{
    struct stat info = {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !locks.open(QIODevice::ReadOnly))
        return false;
    // "1: FLOCK  ADVISORY  WRITE 4711 00:2e:123456 0 EOF"
    const QByteArray inode = ':' + QByteArray::number(quint64(info.st_ino));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> field = line.simplified().split(' ');
        if (field.size() > 5 && field[1] == "FLOCK" && field[4].toLongLong() == pid &&
            field[5].endsWith(inode))
            return true;
    }
    return false;
}

// A fresh install for the program's copies: an application folder with the
// shipped data, a private runtime folder and a home. As root (which opens any
// file) the copies run as nobody, who owns these folders.
class SingleCopyLockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        asNobody = ::geteuid() == 0;
        ASSERT_TRUE(scratch.isValid());
        appFolder = scratch.filePath(QStringLiteral("app"));
        runtimeFolder = scratch.filePath(QStringLiteral("runtime"));
        home = scratch.filePath(QStringLiteral("home"));
        for (const QString &folder : {appFolder, runtimeFolder, home})
            ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(copyShippedData(appFolder));
        ASSERT_TRUE(QFile::setPermissions(runtimeFolder,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        lockName = QFileInfo(QtDesktopServices::singleInstanceLockPath(appFolder)).fileName();
        program = shippedProgram();
        if (asNobody) {
            ASSERT_NO_FATAL_FAILURE(handOverToNobody());
        }
    }

    void handOverToNobody()
    {
        const passwd *user = ::getpwnam("nobody");
        const group *nogroup = ::getgrnam("nogroup");
        ASSERT_TRUE(user && nogroup);
        for (const QString &folder : {appFolder, runtimeFolder, home})
            ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), user->pw_uid, nogroup->gr_gid),
                      0);
        // The build folder and the sanitizers' suppressions may sit where
        // nobody cannot reach: nobody runs copies of them from here.
        const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadOther | QFile::ExeOther;
        ASSERT_TRUE(QFile::setPermissions(scratch.path(), open));
        program = scratch.filePath(QStringLiteral("ZelkSoft"));
        ASSERT_TRUE(QFile::copy(shippedProgram(), program));
        ASSERT_TRUE(QFile::setPermissions(program, open));
        for (const char *name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            QString options = qEnvironmentVariable(name);
            const QRegularExpressionMatch file =
                QRegularExpression(QStringLiteral("suppressions=([^:]+)")).match(options);
            if (!file.hasMatch())
                continue;
            const QString copy = scratch.filePath(QString::fromLatin1(name) + ".supp");
            ASSERT_TRUE(QFile::copy(file.captured(1), copy));
            ASSERT_TRUE(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadOther));
            sanitizerOptions.insert(
                QString::fromLatin1(name),
                options.replace(file.capturedStart(1), file.capturedLength(1), copy));
        }
    }

    // Starts a copy of the program on the offscreen platform; with
    // exitWhenShown it reports its launcher on screen and ends.
    void start(ChildProcess &copy, bool withRuntimeFolder, bool exitWhenShown)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            env.insert(QString::fromLatin1(name), home);
        for (const char *name :
             {"ZELK_APP_DIR", "XDG_RUNTIME_DIR", ShownProbe::EnvironmentVariable})
            env.remove(QString::fromLatin1(name));
        if (withRuntimeFolder)
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
        if (exitWhenShown)
            env.insert(QString::fromLatin1(ShownProbe::EnvironmentVariable), QStringLiteral("1"));
        for (auto it = sanitizerOptions.cbegin(); it != sanitizerOptions.cend(); ++it)
            env.insert(it.key(), it.value());
        copy.setProcessEnvironment(env);

        const QStringList arguments{program, QStringLiteral("--app-dir"), appFolder};
        if (asNobody)
            copy.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=nobody"),
                                                              QStringLiteral("--regid=nogroup"),
                                                              QStringLiteral("--clear-groups")} +
                                                      arguments);
        else
            copy.start(arguments.first(), arguments.mid(1));
        ASSERT_TRUE(copy.waitForStarted(5000)) << copy.errorString().toStdString();
    }

    // The copy shows its launcher and ends by itself with exit code 0; with
    // lockMessage it has said on stderr, in one line, why it runs unlocked.
    void expectShown(ChildProcess &copy, bool lockMessage)
    {
        ASSERT_TRUE(copy.waitForFinished(30000)) << copy.transcript().toStdString();
        EXPECT_EQ(copy.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(copy.exitCode(), 0) << copy.transcript().toStdString();
        EXPECT_EQ(copy.standardOutput(), ShownProbe::Marker) << copy.transcript().toStdString();
        const qsizetype lines = copy.standardError().count("single-copy lock");
        EXPECT_EQ(lines, lockMessage ? 1 : 0) << copy.transcript().toStdString();
    }

    QTemporaryDir scratch;
    QString appFolder, runtimeFolder, home, lockName, program;
    QHash<QString, QString> sanitizerOptions; // suppression files nobody can read
    bool asNobody = false;
};

} // namespace

// Catches a lock kept in a shared folder or named without its application folder.
TEST(SingleCopyLockPathTest, UsersRuntimeFolderElseTheApplicationFolder)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime, app;
    const QString aFile = runtime.filePath(QStringLiteral("file"));
    ASSERT_TRUE(QFile(aFile).open(QIODevice::WriteOnly));
    const struct
    {
        QString runtimeFolder;
        QString expectedFolder;
    } cases[] = {
        {runtime.path(), runtime.path()},
        {QString(), app.path()},
        {aFile, app.path()},
        {runtime.filePath(QStringLiteral("missing")), app.path()},
        {QStringLiteral("relative/run"), app.path()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.runtimeFolder.toStdString());
        if (c.runtimeFolder.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(c.runtimeFolder));
        const QFileInfo lock(QtDesktopServices::singleInstanceLockPath(app.path()));
        EXPECT_EQ(lock.path(), c.expectedFolder);
        EXPECT_NE(
            lock.fileName(),
            QFileInfo(QtDesktopServices::singleInstanceLockPath(app.filePath("other"))).fileName());
    }
    qputenv("XDG_RUNTIME_DIR", saved);
    if (saved.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
}

// Catches a second copy that starts or speaks, and a killed copy's lock blocking.
TEST_F(SingleCopyLockTest, RunningCopyTurnsASecondAwayAKilledOneBlocksNothing)
{
    ChildProcess first, second, third;
    ASSERT_NO_FATAL_FAILURE(start(first, true, false));
    const QString lock = QDir(runtimeFolder).filePath(lockName);
    ASSERT_TRUE(QTest::qWaitFor([&] { return holdsLock(first.processId(), lock); }, 30000))
        << first.transcript().toStdString();

    ASSERT_NO_FATAL_FAILURE(start(second, true, true));
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    EXPECT_TRUE(second.standardOutput().isEmpty() && second.standardError().isEmpty())
        << "a second copy is not silent:\n"
        << second.transcript().toStdString();

    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(lock));
    ASSERT_NO_FATAL_FAILURE(start(third, true, true));
    expectShown(third, false);
}

// Catches another user's lock file ending the program silently for everyone else.
TEST_F(SingleCopyLockTest, AnotherUsersLockFileDoesNotStopTheProgram)
{
    if (!asNobody)
        GTEST_SKIP() << "needs root, to start the program as another user";
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const struct
    {
        const char *what;
        bool inRuntimeFolder;
        QFile::Permissions mode;
        bool lockMessage; // none when the lock can still be taken
    } cases[] = {
        {"root's private lock in the runtime folder", true, ownerOnly, true},
        {"root's private lock in the application folder", false, ownerOnly, true},
        {"root's readable lock in the application folder", false,
         ownerOnly | QFile::ReadGroup | QFile::ReadOther, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString lock = QDir(c.inRuntimeFolder ? runtimeFolder : appFolder).filePath(lockName);
        QFile file(lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.setPermissions(c.mode));
        file.close();
        ChildProcess copy;
        ASSERT_NO_FATAL_FAILURE(start(copy, c.inRuntimeFolder, true));
        expectShown(copy, c.lockMessage);
        ASSERT_TRUE(QFile::remove(lock));
    }
}
