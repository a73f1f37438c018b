// CPU cost of a simulated bus call with the wire model off, against the time
// the same call would take on the line.
#include "device/SimulatedBus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <functional>
#include <vector>

namespace {

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A folder with the shipped ratings and a fresh demo bus.
struct BusFolder
{
    QTemporaryDir dir;
    BusFolder()
    {
        QFile::copy(QDir(QCoreApplication::applicationDirPath()).filePath("scale.ini"),
                    dir.filePath("scale.ini"));
    }
};

double median(std::vector<qint64> &values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return double(values[values.size() / 2]);
}

// What the monitor's poll and its output controls ask of a unit.
std::vector<std::function<void()>> typicalMix(SimulatedBus &bus)
{
    static qint16 v, w;
    static QString text;
    static StatusArray a;
    std::vector<std::function<void()>> mix{
        [&] { bus.GetPresentModules("1", a); },
        [&] { bus.GetModuleGoodStatusByte("1", a); },
        [&] { bus.GetOutputState("1", a); },
        [&] { bus.GetGlobalStatusByte("1", a); },
        [&] { bus.GetOperatingHoursString("1", text); },
        [&] { bus.GetGlobalOutputState("1", v); },
        [&] { bus.GetGroupState("1", v); },
        [&] { bus.SetOutputState("1", 2, 1); },
        [&] { bus.SetOutputVoltageSetpoint("1", 2, 12000); },
        [&] { bus.GetCurrentLimitMode("1", 3, v, w); },
    };
    for (qint16 m = 1; m <= 5; ++m) {
        mix.push_back([&bus, m] { bus.GetModuleType("1", m, v); });
        mix.push_back([&bus, m] { bus.MeasureOutputVoltage("1", m, v); });
        mix.push_back([&bus, m] { bus.MeasureOutputCurrent("1", m, v); });
        mix.push_back([&bus, m] { bus.GetModuleGoodHighThreshold("1", m, v); });
        mix.push_back([&bus, m] { bus.GetCurrentLimit("1", m, v); });
    }
    return mix;
}

void BM_TypicalMix(benchmark::State &state)
{
    BusFolder folder;
    SimulatedBus bus(folder.dir.path());
    bus.setWireModelEnabled(false);
    bus.OpenPort("COM1");
    const auto mix = typicalMix(bus);
    std::vector<qint64> cpuNs, lineUs;
    cpuNs.reserve(state.max_iterations);
    lineUs.reserve(state.max_iterations);
    std::size_t i = 0;
    for (auto _ : state) {
        const qint64 start = threadCpuNs();
        mix[i++ % mix.size()]();
        cpuNs.push_back(threadCpuNs() - start);
        lineUs.push_back(bus.lastCallLineTimeUs());
    }
    const double cpu = median(cpuNs);
    const double line = median(lineUs) * 1000.0;
    state.counters["median_cpu_ns"] = cpu;
    state.counters["median_line_ns"] = line;
    state.counters["line_over_cpu"] = line / cpu;
}
BENCHMARK(BM_TypicalMix)->Iterations(100000)->Unit(benchmark::kMicrosecond);

// A stored setting is written through to simbus.ini on every change.
void BM_StoredSettingWriteThrough(benchmark::State &state)
{
    BusFolder folder;
    SimulatedBus bus(folder.dir.path());
    bus.setWireModelEnabled(false);
    bus.OpenPort("COM1");
    qint16 delay = 0;
    for (auto _ : state)
        bus.SetOutputTurnONDelay("1", 2, ++delay % 2 ? 100 : 200);
}
BENCHMARK(BM_StoredSettingWriteThrough)->Iterations(2000)->Unit(benchmark::kMicrosecond);

} // namespace
