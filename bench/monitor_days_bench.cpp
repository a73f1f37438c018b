// Monitor Mode for days: 100,000 polls of a five-module unit through the
// monitor window, Autosave on, a clock that jumps a poll period at a time.
// Resident memory must level off (the windows keep their newest lines, the
// log file takes every record) and a poll must cost no more at the end.
#include "Resident.h"
#include "core/Clock.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "device/SimulatedBus.h"
#include "monitor/MonitorForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

constexpr int Polls = 100000;
constexpr int EarlyEnd = 2000; // memory and cost are taken here and at the end
constexpr int Window = 200;    // polls whose median cost is compared
constexpr qint64 PeriodMs = 5000;

// The time of day moves on only when the benchmark says so; waits end at once.
class JumpingClock final : public Clock
{
public:
    QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(8, 0));
    qint64 ms = 0;
    QDateTime currentDateTime() override { return start.addMSecs(ms); }
    qint64 monotonicMs() override { return ms += 10; }
};

double median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

void BM_MonitorModeForDays(benchmark::State &state)
{
    for (auto _ : state) {
        QTemporaryDir dir;
        const QDir app(QCoreApplication::applicationDirPath());
        for (const char *name : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            QFile::copy(app.filePath(name), dir.filePath(name));
        JumpingClock clock;
        Seams::setClock(&clock);
        registerSimulatedBus();
        if (!InitGlobals(dir.path()))
            qFatal("start-up failed");
        dynamic_cast<SimulatedBus &>(*ZelkGlobals::Device).setWireModelEnabled(false);

        MonitorForm &form = MonitorForm::instance();
        form.UnitList->setCurrentText(QStringLiteral("1"));
        form.cmdSelectUnit_Click();
        form.Check2->setChecked(true);
        form.Combo1->setCurrentText(QStringLiteral("5   Sec."));
        form.Check1->setChecked(true);
        form.Timer2->stop(); // the benchmark gives the ticks

        std::vector<double> costUs(Polls);
        double earlyKib = 0;
        QElapsedTimer t;
        for (int i = 0; i < Polls; ++i) {
            clock.ms = PeriodMs * (i + 1);
            t.start();
            form.Timer2_Timer();
            costUs[std::size_t(i)] = t.nsecsElapsed() / 1e3;
            if (i + 1 == EarlyEnd)
                earlyKib = residentKib();
        }
        const double lateKib = residentKib();

        QFile log(QDir(dir.path()).filePath(form.txtFileName->text()));
        const qsizetype records = log.open(QIODevice::ReadOnly) ? log.readAll().count("\r\n") : 0;
        MonitorForm::destroyInstance();
        ZelkGlobals::Device.reset();
        Seams::setClock(nullptr);
        if (records != Polls) {
            state.SkipWithError("the log file does not hold a record of every poll");
            return;
        }
        const auto window = [&](int from) {
            return median(
                std::vector<double>(costUs.begin() + from, costUs.begin() + from + Window));
        };
        state.counters["rss_early_kib"] = earlyKib;
        state.counters["rss_late_kib"] = lateKib;
        state.counters["early_poll_us"] = window(EarlyEnd - Window);
        state.counters["late_poll_us"] = window(Polls - Window);
        state.counters["records"] = double(records);
    }
}
BENCHMARK(BM_MonitorModeForDays)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
