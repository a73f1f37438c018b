// Test plans run by zelkctl over the serial line, on the unit emulator behind
// a pseudo-terminal: passing runs, every kind of stop, refusals.
#include "../cli/ProgramRun.h"
#include "TestSeams.h"
#include "UnitSimProcess.h"
#include "core/IniFile.h"
#include "device/FrameLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Every check of module 1's current on the units: off when nothing flows.
const QByteArray OutputsOff = "check current 1 between 0A and 0.001A\n";

class PlanRunnerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shippedFolder(env);
        ASSERT_TRUE(unitsim.startScratchLine(env, 2, {"--commands"}))
            << unitsim.errors().toStdString();
    }

    QStringList args(const QString &plan, const QStringList &more) const
    {
        return QStringList{"--app-dir", env.folder(), "--bus", "serial", "run", env.path(plan)} +
               more;
    }

    Ran zelkctl(const QString &plan, const QByteArray &text, const QStringList &more)
    {
        env.writeFile(plan, text);
        return runProgram(QStringLiteral(ZELK_CTL), args(plan, more));
    }

    TestEnvironment env;
    UnitSimProcess unitsim;
};

} // namespace

// Catches a run on two units that misses a check, reads a measurement by the
// wrong scale, passes with a failed check, writes no report, or leaves the
// outputs on at its end; and a value outside a module type's ratings (a
// ramp's last, shorter step included, and a finally set-point) or a module
// not fitted that is found only once something was written, a reader's
// refusal that still opens the line, and a dry run that writes.
TEST_F(PlanRunnerTest, PassingPlanOnUnitsOneAndThreeAndRefusedPlansWriteNothing)
{
    ASSERT_TRUE(unitsim.command("load 1 1 20"));
    ASSERT_TRUE(unitsim.command("load 3 1 20"));
    const Ran r = zelkctl("pass.plan",
                          "plan Pass\npoll 100ms\noutput 1 on\nglobal on\nhold 300ms\n"
                          "check voltage 1 within 2%\ncheck current 1 between 19.5A and 20.5A\n"
                          "check good 1\ncheck no-alarm\ncheck hours\n",
                          {"--report", env.path("report"), "1", "3"});
    ASSERT_EQ(r.rc, 0) << show(r);
    EXPECT_EQ(r.out.count(": PASS\n"), 10) << show(r);
    EXPECT_TRUE(r.out.contains("Unit 1 ZX5-21A0117: PASS, 5 check(s)\n")) << show(r);
    EXPECT_TRUE(r.out.contains("Unit 3 ZX2-21B0342: PASS, 5 check(s)\n")) << show(r);
    EXPECT_TRUE(r.out.contains("Unit 3: Module 1 voltage (line 6): 5.200 V")) << show(r);
    for (const char *ext : {"xml", "csv", "json"})
        EXPECT_TRUE(QFile::exists(env.path(QStringLiteral("report.") + ext))) << ext;

    const Ran off = zelkctl("off.plan", OutputsOff, {"1", "3"});
    EXPECT_EQ(off.rc, 0) << show(off);

    const struct
    {
        QByteArray plan;
        const char *units; // and options, split at spaces
        int rc;
        const char *said; // on standard error, or on standard output for 0
        bool framesSent;
    } rows[] = {
        {"setpoint 1 5V\n", "1", 4, "refused.plan:1: unit 1: 5 V is out of range for module 1",
         true},
        {"output 1 on\nramp 1 3V to 3.7V step 0.3V dwell 10ms\n", "1", 4,
         "refused.plan:2: unit 1: 3.7 V is out of range for module 1: it takes 1 and 3.6 V", true},
        {"output 1 on\nfinally\nsetpoint 1 9V\nend\n", "1", 4,
         "refused.plan:3: unit 1: 9 V is out of range", true},
        {"check good 2\n", "1 3", 4, "refused.plan:1: unit 3: module 2 is not fitted", true},
        {"apply none.txt\n", "1", 4, "refused.plan:1: cannot read none.txt", false},
        {"setpoint 1 5\n", "1", 4, "refused.plan:1: ", false},
        {"ramp 1 3V to 3.5V step 0.2V dwell 10ms\n", "1 --dry-run", 0,
         "line 1: module 1 set-point 3, 3.2, 3.4, 3.5 V, 10 ms after each", true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.plan.toStdString());
        const QString trace = env.path("trace.csv");
        QFile::remove(trace);
        const Ran ran = zelkctl("refused.plan", row.plan,
                                QStringList{"--trace", trace} + QString(row.units).split(' '));
        EXPECT_EQ(ran.rc, row.rc) << show(ran);
        EXPECT_TRUE((row.rc ? ran.err : ran.out).contains(QLatin1String(row.said))) << show(ran);
        // The trace's frames, after its header: none that writes (function 06).
        const QStringList sent =
            QString::fromUtf8(env.readFile("trace.csv")).split('\n', Qt::SkipEmptyParts).mid(1);
        EXPECT_EQ(!sent.isEmpty(), row.framesSent) << show(ran);
        for (const QString &frame : sent) {
            const QString function = frame.split(',').value(FrameLog::Function);
            ASSERT_TRUE(function.startsWith("0") && !function.startsWith("06"))
                << frame.toStdString();
        }
    }
}

// Catches a stop that is ignored or acted on only at the end of a long hold
// or ramp, a stop-on-fail that runs on, and an ending that skips the finally
// steps (or claims to have reached a unit that no longer answers, or runs on
// once the port is gone).
TEST_F(PlanRunnerTest, EveryStopEndsWithTheFinallySteps)
{
    const QByteArray start = "poll 100ms\noutput 1 on\nglobal on\ncheck hours\n";
    const struct
    {
        const char *name;
        QByteArray plan;
        std::function<void(QProcess &)> midRun; // once the first check is out
        int rc;
        const char *said;
        bool reached;
        const char *units = "1 3";
    } rows[] = {
        {"stop-on-fail",
         "stop-on-fail\n" + start + "check current 1 between 50A and 60A\nhold 30s\ncheck hours\n",
         nullptr, 5, "stop-on-fail: unit 1: Module 1 current failed (line 6)", true},
        {"alarm", "stop-on-alarm over-temp\n" + start + "hold 30s\n",
         [this](QProcess &) { ASSERT_TRUE(unitsim.command("alarm 1 over-temp on")); }, 6,
         "stop-on-alarm: unit 1: over-temp raised", true},
        {"silent", start + "hold 2s\n",
         [this](QProcess &) { ASSERT_TRUE(unitsim.command("silent 1")); }, 2,
         "unit 1 could not be reached to leave it safe", false},
        {"sigterm", start + "ramp 1 1V to 3.5V step 0.1V dwell 1s\n",
         [](QProcess &p) { ::kill(pid_t(p.processId()), SIGTERM); }, 6, "terminated (SIGTERM)",
         true, "1"},
        // Last: the emulator does not come back.
        {"port lost", start + "hold 30s\n", [this](QProcess &) { unitsim.kill(); }, 2, "was lost",
         false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        unitsim.command("answer 1");
        unitsim.command("alarm 1 over-temp off");
        env.writeFile("stop.plan", row.plan);
        QProcess p;
        p.start(QStringLiteral(ZELK_CTL), args("stop.plan", QString(row.units).split(' ')));
        QElapsedTimer sinceMidRun;
        if (row.midRun) {
            const QDeadlineTimer deadline(60000);
            while (!p.peek(1 << 16).contains("Operating hours") && !deadline.hasExpired() &&
                   p.state() != QProcess::NotRunning)
                p.waitForReadyRead(100);
            ASSERT_TRUE(p.peek(1 << 16).contains("Operating hours"));
            row.midRun(p);
        }
        sinceMidRun.start();
        const Ran r = finish(p);
        EXPECT_EQ(r.rc, row.rc) << show(r);
        EXPECT_TRUE(r.err.contains(QLatin1String(row.said))) << show(r);
        // Well before the 30 s hold or the 25 s ramp would have ended.
        EXPECT_LT(sinceMidRun.elapsed(), 15000) << show(r);
        // Unit 3 is not started once the run stopped; a unit gone silent
        // stops only its own run.
        EXPECT_EQ(r.out.contains("Unit 3:"), std::string(row.name) == "silent") << show(r);
        if (row.reached) {
            unitsim.command("alarm 1 over-temp off");
            const Ran off = zelkctl("off.plan", OutputsOff, {"1"});
            EXPECT_EQ(off.rc, 0) << show(off);
        }
    }
}
