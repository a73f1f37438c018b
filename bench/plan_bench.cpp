// The test-plan window while a plan runs on the demo bus's unit 1, the line
// timed by the simulated bus's wire model at 9600 baud, as users get it. The
// run happens inside the click on Run; a 10 ms timer in the window's thread
// takes the largest gap between its ticks from the click (the units read
// first) through every step, ramp point, hold and the finally steps, and
// through a Stop clicked in a hold. The window must answer within 100 ms.
#include "core/ZelkGlobals.h"
#include "device/SharedLineDevice.h"
#include "device/SimulatedBus.h"
#include "planwindow/PlanWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <optional>

namespace {

constexpr double BudgetMs = 100;
constexpr int TickMs = 10;
constexpr qint64 StopIntoHoldMs = 1000;

// Unit 1 of the demo bus brought up as the shipped burn-in does: the
// alarms watched after every step, the set-points, the outputs.
const QByteArray BringUp = "plan Window answers\n"
                           "stop-on-alarm over-temp fan-fail ac-fail dc-good\n"
                           "poll 500ms\n"
                           "check hours\n"
                           "check no-alarm\n"
                           "setpoint 1 3.3V\n"
                           "setpoint 2 12V\n"
                           "setpoint 3 24V\n"
                           "setpoint 4 48V\n"
                           "setpoint 5 48V\n"
                           "output 1 on\n"
                           "output 2 on\n"
                           "output 3 on\n"
                           "output 4 on\n"
                           "output 5 on\n"
                           "global on\n"
                           "ramp 2 12V to 12.5V step 0.1V dwell 200ms\n"
                           "ramp 2 12.5V to 12V step 0.1V dwell 200ms\n";
const QByteArray Finally = "finally\n"
                           "  setpoint 2 12V\n"
                           "  setpoint 3 24V\n"
                           "  output 1 off\n"
                           "  output 2 off\n"
                           "  output 3 off\n"
                           "  output 4 off\n"
                           "  output 5 off\n"
                           "  global off\n"
                           "end\n";
// About 9 s of waits and 20 checks.
const QByteArray WholeRun = BringUp +
                            "hold 2s\n"
                            "check good 1\n"
                            "check good 2\n"
                            "check good 3\n"
                            "check good 4\n"
                            "check good 5\n"
                            "check voltage 1 within 0.05V\n"
                            "check voltage 2 within 1%\n"
                            "check voltage 3 within 1%\n"
                            "check voltage 4 within 1%\n"
                            "check voltage 5 within 1%\n"
                            "check current 1 between 36A and 44A\n"
                            "check current 2 between 10.8A and 13.2A\n"
                            "check current 3 between 5.4A and 6.6A\n"
                            "check current 4 between 2.8A and 3.6A\n"
                            "check current 5 between 2.8A and 3.6A\n"
                            "ramp 3 24V to 25V step 0.25V dwell 200ms\n"
                            "hold 1s\n"
                            "check voltage 3 within 1%\n"
                            "ramp 3 25V to 24V step 0.25V dwell 200ms\n"
                            "output 1 off\n"
                            "hold 1s\n"
                            "output 1 on\n"
                            "hold 1s\n"
                            "check good 1\n"
                            "check no-alarm\n" +
                            Finally;
// Its one hold is ended by Stop.
const QByteArray StoppedRun = BringUp +
                              "hold 30s\n"
                              "check good 1\n" +
                              Finally;

// The first line of what the window says: the step it is in.
QString shown(const PlanWindow &w)
{
    return w.lblStatus->text().section(QLatin1Char('\n'), 0, 0);
}

struct Measured
{
    double maxGapMs = 0;
    QString gapWhere; // the steps the largest gap began and ended in
    double runMs = 0;
    std::optional<double> stopToEndMs;
    int ticks = 0;
};

// Clicks Run from the event loop, as a user's click comes, and ticks every
// 10 ms until the click returns; with stopInHold, clicks Stop a second into
// the first hold.
Measured runInWindow(PlanWindow &w, bool stopInHold)
{
    Measured m;
    QElapsedTimer clock;
    qint64 lastTick = 0, holdSeen = -1, stopClicked = -1;
    QString lastShown;
    const auto gapTo = [&](qint64 now, const QString &where) {
        if (double(now - lastTick) > m.maxGapMs) {
            m.maxGapMs = double(now - lastTick);
            m.gapWhere = where == lastShown ? where : lastShown + QStringLiteral(" -> ") + where;
        }
        lastTick = now;
    };
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(TickMs);
    QObject::connect(&ticker, &QTimer::timeout, &w, [&] {
        const qint64 now = clock.elapsed();
        ++m.ticks;
        const QString step = shown(w);
        gapTo(now, step);
        lastShown = step;
        if (!stopInHold || stopClicked >= 0)
            return;
        if (holdSeen < 0 && step.contains(QLatin1String(": hold ")))
            holdSeen = now;
        if (holdSeen >= 0 && now - holdSeen >= StopIntoHoldMs) {
            stopClicked = now;
            w.cmdStop->click();
        }
    });
    QEventLoop loop;
    QTimer::singleShot(0, &w, [&] {
        clock.start();
        lastShown = shown(w);
        ticker.start();
        w.cmdRun->click(); // returns when the run has ended
        const qint64 end = clock.elapsed();
        ticker.stop();
        gapTo(end, QStringLiteral("end of run"));
        m.runMs = double(end);
        if (stopClicked >= 0)
            m.stopToEndMs = double(end - stopClicked);
        loop.quit();
    });
    loop.exec();
    return m;
}

void runPlan(benchmark::State &state, const QByteArray &plan, bool stopInHold)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        const QDir app(QCoreApplication::applicationDirPath());
        for (const char *name : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            QFile::copy(app.filePath(name), dir.filePath(name));
        QFile planFile(dir.filePath(QStringLiteral("answers.plan")));
        if (!planFile.open(QIODevice::WriteOnly) || planFile.write(plan) != plan.size()) {
            state.SkipWithError("the plan file could not be written");
            return;
        }
        planFile.close();
        registerSimulatedBus();
        if (!InitGlobals(dir.path()))
            qFatal("start-up failed");
        SharedLineDevice::install();
        auto *bus =
            dynamic_cast<SimulatedBus *>(SharedLineDevice::behind(ZelkGlobals::Device.get()));

        std::optional<Measured> m;
        QString problem;
        PlanRunResult run;
        int rows = 0;
        {
            PlanWindow w;
            w.show();
            QCoreApplication::processEvents();
            if (!bus || !bus->wireModelEnabled())
                problem = QStringLiteral("the simulated bus does not model the line");
            else if (w.lblNoChart)
                problem = QStringLiteral("no chart: ") + w.lblNoChart->text();
            else if (!w.openPlan(planFile.fileName()))
                problem = QStringLiteral("the plan was refused");
            if (problem.isEmpty()) {
                w.txtUnits->setText(QStringLiteral("1"));
                m = runInWindow(w, stopInHold);
                run = w.lastRun();
                rows = w.grdResults->rowCount();
            }
            w.close();
        }
        ZelkGlobals::Device.reset();
        if (!problem.isEmpty()) {
            state.SkipWithError(problem.toStdString().c_str());
            return;
        }

        const auto expected =
            stopInHold ? PlanRunResult::Outcome::Stopped : PlanRunResult::Outcome::Passed;
        qsizetype checks = 0;
        for (const PlanUnitResult &u : run.units)
            checks += u.checks.size();
        if (run.outcome != expected || run.units.size() != 1 || !run.units.first().safeState) {
            state.SkipWithError((QStringLiteral("the run did not end as planned: outcome %1 (%2)")
                                     .arg(int(run.outcome))
                                     .arg(run.stopReason))
                                    .toStdString()
                                    .c_str());
            return;
        }
        if (stopInHold != m->stopToEndMs.has_value() || rows != checks || m->ticks == 0) {
            state.SkipWithError("the Stop, the results table or the ticks are not as run");
            return;
        }
        state.counters["max_gap_ms"] = m->maxGapMs;
        state.counters["budget_ms"] = BudgetMs;
        state.counters["run_s"] = m->runMs / 1000;
        state.counters["ticks"] = m->ticks;
        state.counters["checks"] = double(checks);
        if (m->stopToEndMs)
            state.counters["stop_to_end_ms"] = *m->stopToEndMs;
        state.SetLabel(("largest gap: " + m->gapWhere).toStdString());
    }
}

void BM_PlanWindowRunWire9600(benchmark::State &state)
{
    runPlan(state, WholeRun, false);
}
BENCHMARK(BM_PlanWindowRunWire9600)->Unit(benchmark::kSecond)->Iterations(1);

void BM_PlanWindowStopInHoldWire9600(benchmark::State &state)
{
    runPlan(state, StoppedRun, true);
}
BENCHMARK(BM_PlanWindowStopInHoldWire9600)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
