// The serial line for real: the editor's full read of a five-module unit
// through the serial device object and the unit emulator on a pseudo-terminal
// at 9600 baud, the emulator pacing the line. Against the wire time of the
// frames it sent (each exchange: its characters at ten bits, and the frame
// silence before request and answer), with the device object's CPU time per
// call, and the bytes on the line against the simulated bus's wire model.
#include "core/Clock.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "device/ModbusFrame.h"
#include "device/SerialBus.h"
#include "device/SimBusWire.h"
#include "device/SimulatedBus.h"
#include "device/ZelkData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int Baud = 9600;

qint64 cpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Moves only when read: the simulated bus's wire model then adds up its line
// time on this clock without sleeping.
class LineClock final : public Clock
{
public:
    QDateTime currentDateTime() override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() override { return ++m_ms; }

private:
    qint64 m_ms = 0;
};

void prepareFolder(const QTemporaryDir &dir)
{
    ZelkGlobals::reset();
    const QDir bin(QCoreApplication::applicationDirPath());
    QFile::copy(bin.filePath("scale.ini"), dir.filePath("scale.ini"));
    ZelkGlobals::ApplicationFolder = dir.path();
    ZelkGlobals::ScaleIniPath = dir.filePath("scale.ini");
    ZelkGlobals::ErrorFilePath = dir.filePath("error.txt");
    ZelkGlobals::SelectedUnitID = "1";
}

// Bytes the simulated bus's wire model puts on the line for the same read.
double simulatedBusBytes()
{
    QTemporaryDir dir;
    prepareFolder(dir);
    ZelkGlobals::ComPort = "COM1";
    LineClock clock;
    Seams::setClock(&clock);
    auto bus = std::make_unique<SimulatedBus>(dir.path());
    bus->setNoiseEnabled(false);
    bus->setWireModelEnabled(true);
    ZelkGlobals::Device = std::move(bus);
    const qint64 before = clock.monotonicMs();
    ZelkData data;
    data.ReadZelkSetup("1");
    const qint64 lineMs = clock.monotonicMs() - before;
    ZelkGlobals::Device.reset();
    Seams::setClock(nullptr);
    ZelkGlobals::reset();
    return double(lineMs) * SimBusWire::BaudRate / SimBusWire::BitsPerByte / 1000.0;
}

// The emulator on a pseudo-terminal at 9600 baud with a fresh demo bus, and
// the serial device object as the program's device, its frames timed.
struct Line
{
    QTemporaryDir dir;
    QProcess unitsim;
    SerialBus *serial = nullptr;
    qint64 wireNs = 0, bytes = 0, exchanges = 0, requestBytes = 0;
    bool damaged = false;

    bool start(const QStringList &more = {})
    {
        const QString link = dir.filePath("line.tty");
        unitsim.start(QStringLiteral(ZELK_UNITSIM),
                      QStringList{"--store", dir.filePath("simbus.ini"), "--pty", "--link", link,
                                  "--baud", QString::number(Baud), "--no-noise"} +
                          more);
        if (!unitsim.waitForReadyRead(20000))
            return false;
        prepareFolder(dir);
        ZelkGlobals::ComPort = link;
        auto owned = std::make_unique<SerialBus>();
        serial = owned.get();
        // Value by value, one exchange a call: the line's own cost.
        // serial_blocks_bench measures the block reads.
        serial->setBlockReads(false);
        ZelkGlobals::Device = std::move(owned);
        serial->setFrameTap([this](const ModbusFrameEvent &e) {
            if (e.kind == ModbusFrameEvent::Kind::Request) {
                requestBytes = e.bytes.size();
            } else if (e.kind == ModbusFrameEvent::Kind::Answer) {
                wireNs += ModbusFrame::exchangeNs(int(requestBytes), int(e.bytes.size()), Baud);
                bytes += requestBytes + e.bytes.size();
                ++exchanges;
            } else {
                damaged = true;
            }
        });
        return true;
    }
    ~Line()
    {
        ZelkGlobals::Device.reset();
        unitsim.kill();
        unitsim.waitForFinished(5000);
        ZelkGlobals::reset();
    }
};

void BM_SerialFullReadWire9600(benchmark::State &state)
{
    Line line;
    if (!line.start()) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    qint64 wallNs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        ZelkData data;
        data.ReadZelkSetup("1");
        wallNs += std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now() - t0)
                      .count();
        if (ZelkGlobals::ErrorFlag || line.damaged)
            state.SkipWithError("the read failed on a clean line");
    }
    const double runs = double(state.iterations());
    state.counters["wall_ms"] = double(wallNs) / runs / 1e6;
    state.counters["wire_ms"] = double(line.wireNs) / runs / 1e6;
    state.counters["calls"] = double(line.exchanges) / runs;
    state.counters["line_bytes"] = double(line.bytes) / runs;
    state.counters["simbus_bytes"] = simulatedBusBytes();
}
BENCHMARK(BM_SerialFullReadWire9600)->Unit(benchmark::kMillisecond)->Iterations(2);

// The device object's own CPU time: a mix of the calls a read makes (unit
// and module settings, texts, status flags, measurements), called directly.
void BM_SerialCallCpuWire9600(benchmark::State &state)
{
    Line line;
    if (!line.start() || line.serial->OpenPort(ZelkGlobals::ComPort) != QLatin1String("CMD_OK")) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    SerialBus &bus = *line.serial;
    const UnitArg unit(1);
    qint64 cpuUsedNs = 0, calls = 0;
    const auto mix = [&] {
        for (qint16 m = 1; m <= 5; ++m) {
            qint16 v = 0;
            QString text;
            StatusArray flags;
            bus.GetModuleType(unit, m, v);
            bus.GetCurrentLimit(unit, m, v);
            bus.GetModuleSerialN(unit, m, text);
            bus.MeasureOutputVoltage(unit, m, v);
            bus.GetPresentModules(unit, flags);
        }
    };
    // Once before the count: the first calls also page in the code they run.
    mix();
    for (auto _ : state) {
        const qint64 cpu0 = cpuNs();
        mix();
        calls += 25;
        cpuUsedNs += cpuNs() - cpu0;
        if (line.damaged)
            state.SkipWithError("a frame was lost or damaged on a clean line");
    }
    bus.ClosePort();
    state.counters["cpu_per_call_ns"] = double(cpuUsedNs) / double(calls);
    state.counters["wire_per_call_ns"] = double(line.wireNs) / double(line.exchanges);
}
BENCHMARK(BM_SerialCallCpuWire9600)->Unit(benchmark::kMillisecond)->Iterations(8);

// A poll cycle over units 1, 3, 5 and 7 with unit 7 silent: the cycles
// after the fourth against the three answering units' wire time plus one
// SilentTimeout (the bound), slowest and median, and how many kept to it.
void BM_SerialSilentUnitCycleWire9600(benchmark::State &state)
{
    Line line;
    if (!line.start({"--silent", "7"}) ||
        line.serial->OpenPort(ZelkGlobals::ComPort) != QLatin1String("CMD_OK")) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    SerialBus &bus = *line.serial;
    bus.setBlockReads(false);
    std::vector<qint64> cycles;
    qint64 wireNs = 0;
    for (auto _ : state) {
        for (int cycle = 1; cycle <= 12; ++cycle) {
            line.wireNs = 0;
            const auto t0 = std::chrono::steady_clock::now();
            for (const int unit : {1, 3, 5, 7}) {
                StatusArray flags;
                bus.GetGlobalStatusByte(UnitArg(unit), flags);
            }
            const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now() - t0)
                                  .count();
            if (cycle > 4) {
                cycles.push_back(ns);
                wireNs = line.wireNs;
            }
        }
    }
    bus.ClosePort();
    std::sort(cycles.begin(), cycles.end());
    const double boundMs = double(wireNs) / 1e6 + bus.silentTimeoutMs();
    const auto within = std::count_if(cycles.begin(), cycles.end(),
                                      [&](qint64 ns) { return double(ns) / 1e6 <= boundMs; });
    state.counters["slowest_cycle_ms"] = double(cycles.back()) / 1e6;
    state.counters["median_cycle_ms"] = double(cycles[cycles.size() / 2]) / 1e6;
    state.counters["answering_wire_ms"] = double(wireNs) / 1e6;
    state.counters["silent_timeout_ms"] = bus.silentTimeoutMs();
    state.counters["bound_ms"] = boundMs;
    state.counters["cycles_within_bound"] = double(within) / double(cycles.size());
}
BENCHMARK(BM_SerialSilentUnitCycleWire9600)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
