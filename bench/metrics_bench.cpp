// The metrics endpoint's text: what one scrape of a full line costs in CPU
// time, that it sends nothing on the line, and that memory stays flat over
// many scrapes.
#include "Resident.h"
#include "device/ModbusTransport.h"
#include "device/SerialBus.h"
#include "metrics/LiveState.h"
#include "metrics/MetricsText.h"

#include <QFile>
#include <benchmark/benchmark.h>
#include <ctime>

namespace {

// 32 units of 5 modules each, every one answering.
void fillFullLine()
{
    LiveState &live = LiveState::process();
    live.clear();
    live.bench = QStringLiteral("bench-7");
    for (int id = 1; id <= LiveState::MaxUnit; ++id) {
        LiveState::Unit u;
        u.serial = QStringLiteral("ZX5-21A%1").arg(id, 4, 10, QLatin1Char('0'));
        u.hours = 1234;
        for (int m = 0; m < LiveState::Modules; ++m)
            u.modules[std::size_t(m)] = {
                true, "ZM 48V/8A", "ZM4-4138" + QString::number(m), 47.98, 3.21, 48.0, 45.6, 50.4,
                true, true};
        live.answered(id, u, 1.7e9 + id);
    }
}

double cpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

quint64 framesSent()
{
    const SerialBus::FrameCounts c = SerialBus::frameCounts();
    return frameEventsMade() + c.good + c.damaged + c.timedOut + c.late;
}

} // namespace

// CPU time of one scrape, against the 1 ms it may cost; frames sent by all
// the scrapes (none).
void BM_ScrapeFullLine(benchmark::State &state)
{
    fillFullLine();
    const quint64 framesBefore = framesSent();
    double spentUs = 0;
    qsizetype bytes = 0;
    for (auto _ : state) {
        const double start = cpuUs();
        const QByteArray text = MetricsText::current(MetricsText::Format::Prometheus);
        spentUs += cpuUs() - start;
        bytes = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["cpu_us"] = spentUs / double(state.iterations());
    state.counters["limit_us"] = 1000;
    state.counters["frames_sent"] = double(framesSent() - framesBefore);
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ScrapeFullLine)->Unit(benchmark::kMicrosecond);

// Resident memory after 100,000 scrapes against after the first 1,000.
void BM_ScrapeMemoryOver100k(benchmark::State &state)
{
    fillFullLine();
    for (auto _ : state) {
        double earlyKib = 0;
        for (int i = 0; i < 100'000; ++i) {
            const QByteArray text = MetricsText::current(i % 2 ? MetricsText::Format::OpenMetrics
                                                               : MetricsText::Format::Prometheus);
            benchmark::DoNotOptimize(text.constData());
            if (i + 1 == 1000)
                earlyKib = residentKib();
        }
        state.counters["rss_early_kib"] = earlyKib;
        state.counters["rss_late_kib"] = residentKib();
    }
}
BENCHMARK(BM_ScrapeMemoryOver100k)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
