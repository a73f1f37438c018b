// The trends after a day of 1-second polls of a five-module unit, fed on a
// clock that moves a second a poll: the heap the readings hold must stay
// within 20 MiB, and the charts of the last 10 minutes must be drawn (laid
// out and painted) in under 50 ms.
#include "core/Clock.h"
#include "core/Seams.h"
#include "monitor/MonitorTrend.h"
#include "monitor/TrendWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {

constexpr qint64 DayMs = 24 * 3600 * 1000;
constexpr qint64 PollMs = 1000;
constexpr double BoundBytes = 20.0 * 1024 * 1024;
constexpr double BudgetMs = 50;

class SecondClock final : public Clock
{
public:
    QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(0, 0));
    qint64 ms = 0;
    QDateTime currentDateTime() override { return start.addMSecs(ms); }
    qint64 monotonicMs() override { return ms; }
};

double heapInUse()
{
    return double(mallinfo2().uordblks);
}

// The n-th poll: readings that wander a little, a silent poll now and then.
MonitorTrend::Poll pollAt(SecondClock &clock, qint64 n)
{
    MonitorTrend::Poll poll;
    poll.seen.stamp = clock.currentDateTime();
    poll.seen.unitId = QStringLiteral("1");
    poll.seen.answered = n % 997 != 0;
    poll.seen.fine.fill(true);
    for (int m = 1; m <= 5; ++m) {
        MonitorTrend::ModuleInfo &info = poll.modules[std::size_t(m)];
        info.present = true;
        info.type = QStringLiteral("ZM 12V/30A");
        info.low = 11.4;
        info.high = 12.6;
        poll.seen.modules[std::size_t(m)] = ModuleState::Good;
        if (poll.seen.answered)
            poll.readings[std::size_t(m)] = MonitorTrend::Reading{
                12.0 + 0.01 * double((n * 7 + m) % 9), 4.0 + 0.05 * double((n * 3 + m) % 11)};
    }
    return poll;
}

void BM_TrendLastTenMinutesAfterADay(benchmark::State &state)
{
    SecondClock clock;
    Seams::setClock(&clock);
    const double before = heapInUse();
    auto trend = std::make_unique<MonitorTrend>();
    qint64 n = 0;
    for (; clock.ms < DayMs; clock.ms += PollMs)
        trend->record(pollAt(clock, ++n));
    const double held = heapInUse() - before;

    TrendWindow window(*trend);
    window.resize(1040, 820);
    window.show();
    QCoreApplication::processEvents(); // laid out at its size
    QImage picture(window.chartsArea->size(), QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        state.SkipWithError("the charts have no size");
        return;
    }
    std::vector<double> drawMs;
    QElapsedTimer t;
    for (auto _ : state) {
        // One more poll, then the charts as the user sees them.
        clock.ms += PollMs;
        t.start();
        trend->record(pollAt(clock, ++n));
        QPainter painter(&picture);
        window.chartsArea->render(&painter);
        painter.end();
        drawMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    // For a person to look at what was timed.
    const QString keep = qEnvironmentVariable("ZELK_TREND_PICTURE");
    if (!keep.isEmpty())
        picture.save(keep);
    std::sort(drawMs.begin(), drawMs.end());
    const qint64 span = window.shownTo() - window.shownFrom();
    window.close();
    Seams::setClock(nullptr);
    if (span != 10 * 60 * 1000) {
        state.SkipWithError("the window does not show the last 10 minutes");
        return;
    }
    state.counters["trend_heap_bytes"] = held;
    state.counters["trend_counted_bytes"] = double(trend->data().heldBytes());
    state.counters["bound_bytes"] = BoundBytes;
    state.counters["draw_ms"] = drawMs[drawMs.size() / 2];
    state.counters["draw_max_ms"] = drawMs.back();
    state.counters["budget_ms"] = BudgetMs;
}
BENCHMARK(BM_TrendLastTenMinutesAfterADay)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
