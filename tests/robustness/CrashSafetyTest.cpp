// A configuration save killed at any moment leaves the file as one whole
// save: the old content or the new one, never a torn or mixed file.
#include "RobustnessSeed.h"
#include "SaveLoopUnits.h"
#include "TestSeams.h"
#include "configfile/ZelkConfigFile.h"
#include "core/ZelkGlobals.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <array>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int Kills = 200;
constexpr int CalibrationSaves = 4;
using SteadyClock = std::chrono::steady_clock;

// The save loop in its own process, and what it reported on its standard
// output: "R" before its first save, "S" after each saved one.
class SaveLoopProcess
{
public:
    ~SaveLoopProcess() { killAndReap(); }

    // Starts it and waits until it is about to save for the first time.
    bool start(const QString &file)
    {
        m_child.start(QStringLiteral(ZELK_SAVE_LOOP), {file, QStringLiteral("1")});
        return m_child.waitForStarted(60000) &&
               readReports(SteadyClock::now() + std::chrono::seconds(60),
                           [this] { return m_ready; }) &&
               m_ready;
    }

    // Reads the reports until the deadline or until done() holds; false
    // when the child ended on its own.
    bool readReports(
        SteadyClock::time_point deadline, const std::function<bool()> &done = [] { return false; })
    {
        while (!done()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
            if (left.count() <= 0)
                return true;
            if (!m_child.waitForReadyRead(int(left.count())) &&
                m_child.state() == QProcess::NotRunning)
                return false;
            consume();
        }
        return true;
    }

    // SIGKILL; true when that is what ended it. Reports written before it
    // died are counted.
    bool killAndReap()
    {
        if (m_child.state() == QProcess::NotRunning)
            return false;
        m_child.kill();
        m_child.waitForFinished(-1);
        consume();
        return m_child.exitStatus() == QProcess::CrashExit;
    }

    int saves() const { return m_saves; }

private:
    void consume()
    {
        const QByteArray reports = m_child.readAllStandardOutput();
        m_ready = m_ready || reports.contains('R');
        m_saves += int(reports.count('S'));
    }

    QProcess m_child;
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
