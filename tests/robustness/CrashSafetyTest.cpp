// A configuration save killed at any moment leaves the file as one whole
// save: the old content or the new one, never a torn or mixed file.
#include "RobustnessSeed.h"
#include "SaveLoopUnits.h"
#include "TestSeams.h"
#include "configfile/ZelkConfigFile.h"
#include "core/ZelkGlobals.h"

#include <QDir>
#include <QFile>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int Kills = 200;
constexpr int CalibrationSaves = 4;
using SteadyClock = std::chrono::steady_clock;

// The save loop in its own process, and what it reported on its pipe.
class SaveLoopProcess
{
public:
    SaveLoopProcess() = default;
    SaveLoopProcess(const SaveLoopProcess &) = delete;
    SaveLoopProcess &operator=(const SaveLoopProcess &) = delete;
    ~SaveLoopProcess()
    {
        if (m_pid > 0)
            killAndReap();
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Starts it and waits until it is about to save for the first time.
    bool start(const QString &file)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        m_fd = fds[0];
        // Only the write end goes to the child.
        ::fcntl(fds[1], F_SETFD, 0);
        const QByteArray path = QFile::encodeName(file);
        const QByteArray fd = QByteArray::number(fds[1]);
        char *argv[] = {const_cast<char *>(ZELK_SAVE_LOOP), const_cast<char *>(path.constData()),
                        const_cast<char *>(fd.constData()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = ::posix_spawn(&m_pid, ZELK_SAVE_LOOP, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            m_pid = -1;
            return false;
        }
        return readReports(SteadyClock::now() + std::chrono::seconds(60),
                           [this] { return m_ready; }) &&
               m_ready;
    }

    // Reads the reports until the deadline or until done() holds; false
    // when the child ended on its own.
    bool readReports(
        SteadyClock::time_point deadline, const std::function<bool()> &done = [] { return false; })
    {
        while (!done()) {
            const auto left = deadline - SteadyClock::now();
            if (left <= SteadyClock::duration::zero())
                return true;
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
            pollfd p{m_fd, POLLIN, 0};
            const int r = ::ppoll(&p, 1, &timeout, nullptr);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return false;
            if (r == 0)
                return true;
            if (!consume())
                return false;
        }
        return true;
    }

    // SIGKILL; true when that is what ended it. Reports written before it
    // died are counted.
    bool killAndReap()
    {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(m_pid, &status, 0);
        } while (r < 0 && errno == EINTR);
        m_pid = -1;
        while (consume()) {
        }
        return r > 0 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    int saves() const { return m_saves; }

private:
    // One read of the pipe; false at its end.
    bool consume()
    {
        char buffer[256];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            return true;
        if (n <= 0)
            return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == 'R')
                m_ready = true;
            else if (buffer[i] == 'S')
                ++m_saves;
        }
        return true;
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    bool m_ready = false;
    int m_saves = 0;
};

class CrashSafety : public ::testing::Test
{
protected:
    TestEnvironment env;
    std::array<QByteArray, 2> content;
    std::array<SaveLoopUnits, 2> variants;

    QByteArray save(int variant, const QString &name)
    {
        ZelkGlobals::ConfigFileToWrite = env.path(name);
        EXPECT_TRUE(ZelkConfigFile::WriteAllUnits(
            [&](int u) -> const ZelkData * { return &variants[variant][u - 1]; }));
        return env.readFile(name);
    }
};

} // namespace

TEST_F(CrashSafety, KilledSavesLeaveTheOldOrTheNewFileWhole)
{
    // Catches a save that writes the file in place, so that a crash leaves
    // it cut off, empty or mixed, or a save that loses the file meanwhile.
    for (int v = 0; v < 2; ++v) {
        fillSaveLoopUnits(variants[v], v);
        content[v] = save(v, QStringLiteral("variant%1.ini").arg(v));
        ASSERT_FALSE(content[v].isEmpty());
    }
    ASSERT_NE(content[0], content[1]);
    // Saving over the other variant gives the same bytes as a fresh save, so
    // every whole file the child leaves is one of the two.
    ASSERT_EQ(save(0, QStringLiteral("variant1.ini")), content[0]);
    ASSERT_EQ(save(1, QStringLiteral("variant1.ini")), content[1]);

    ASSERT_TRUE(QDir(env.folder()).mkdir(QStringLiteral("kill")));
    const QString file = env.path(QStringLiteral("kill/units.ini"));
    ZelkGlobals::ConfigFileToRead = file;

    // How long one save takes in the child, so the kills spread over the
    // first save and the ones after it.
    qint64 saveUs = 0;
    {
        SaveLoopProcess child;
        ASSERT_TRUE(child.start(env.path(QStringLiteral("calibration.ini"))));
        const auto begin = SteadyClock::now();
        ASSERT_TRUE(child.readReports(begin + std::chrono::seconds(60),
                                      [&] { return child.saves() >= CalibrationSaves; }));
        ASSERT_GE(child.saves(), CalibrationSaves);
        saveUs = std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - begin)
                     .count() /
                 CalibrationSaves;
        EXPECT_TRUE(child.killAndReap());
    }

    std::mt19937 rng(robustnessSeed());
    std::uniform_int_distribution<qint64> delayUs(0, 3 * saveUs);
    bool everSaved = false;
    std::array<int, 3> outcomes{}; // absent, variant 0, variant 1
    int killedInFirstSave = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        SaveLoopProcess child;
        ASSERT_TRUE(child.start(file)) << "kill " << kill;
        // The child saves while this waits; it must not end by itself.
        const auto moment = SteadyClock::now() + std::chrono::microseconds(delayUs(rng));
        ASSERT_TRUE(child.readReports(moment)) << "the child ended before kill " << kill;
        ASSERT_TRUE(child.killAndReap()) << "kill " << kill;
        killedInFirstSave += child.saves() == 0;

        if (!QFile::exists(file)) {
            // Only a file no save has finished yet may be missing.
            ASSERT_FALSE(everSaved || child.saves() > 0) << "kill " << kill;
            ++outcomes[0];
            continue;
        }
        everSaved = true;
        const QByteArray bytes = env.readFile(QStringLiteral("kill/units.ini"));
        const int variant = bytes == content[0] ? 0 : bytes == content[1] ? 1 : -1;
        ASSERT_NE(variant, -1) << "kill " << kill << ": a torn file of " << bytes.size()
                               << " bytes after " << child.saves() << " saves";
        ++outcomes[variant + 1];

        // And the reader takes it as that save.
        ZelkData back;
        ASSERT_TRUE(ZelkConfigFile::ReadZelkFile(back, QStringLiteral("32")));
        EXPECT_EQ(back.SerialNumber, variants[variant][31].SerialNumber);
        EXPECT_EQ(back.Module(5).CurrentLimit, variants[variant][31].Module(5).CurrentLimit);
    }
    const QStringList leftovers =
        QDir(env.path(QStringLiteral("kill"))).entryList(QDir::Files | QDir::Hidden);
    std::cout << "[ kills    ] one save " << saveUs << " us; " << killedInFirstSave
              << " kills in the first save; files: " << outcomes[0] << " absent, " << outcomes[1]
              << " first, " << outcomes[2] << " second; " << leftovers.size()
              << " file(s) in the folder" << std::endl;
    // The kills landed both inside a first save and after finished ones.
    EXPECT_GT(killedInFirstSave, 0);
    EXPECT_LT(killedInFirstSave, Kills);
    EXPECT_GT(outcomes[1] + outcomes[2], 0);
    EXPECT_EQ(env.dialogs.count(), 0);
}
