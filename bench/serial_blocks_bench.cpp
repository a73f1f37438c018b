// Block reads on the serial line, the unit emulator on a pseudo-terminal
// pacing the line: the editor's full read of a five-module unit and a
// Monitor Mode poll at 9600 baud, each against the wire time of the frames it
// sent and against the same work value by value; one status cycle of a
// bus of 32 five-module units at 9600 and 115200 baud; and 1,000 reads of
// units that answer a third of their requests late, each value checked; and
// zelkctl's look for the units of the demo bus at both rates.
#include "core/Seams.h"
#include "core/SettingsKeys.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/FrameLog.h"
#include "device/ModbusFrame.h"
#include "device/SerialBus.h"
#include "device/SimulatedBus.h"
#include "device/ZelkData.h"
#include "monitor/MonitorSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <memory>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Unit 1 of the demo bus (five modules) at every ID: 32 units.
void fillBus(const QString &folder)
{
    {
        SimulatedBus demo(folder); // writes the demo simbus.ini
    }
    QFile file(QDir(folder).filePath(QStringLiteral("simbus.ini")));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    QString unitOne;
    bool inUnitOne = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inUnitOne = line.startsWith(QLatin1String("[Supply1]")) ||
                        line.startsWith(QLatin1String("[Supply1."));
        if (inUnitOne)
            unitOne += line + QLatin1Char('\n');
    }
    QString bus;
    for (int id = 1; id <= 32; ++id)
        bus += QString(unitOne)
                   .replace(QLatin1String("[Supply1"), QStringLiteral("[Supply%1").arg(id))
                   .replace(QStringLiteral("UnitID=1\r"), QStringLiteral("UnitID=%1\r").arg(id));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bus.toUtf8());
}

// The emulator at a line rate, the serial device object as the program's
// device, its exchanges' wire time added up.
struct Line
{
    QTemporaryDir dir;
    QProcess unitsim;
    int baud = 9600;
    SerialBus *serial = nullptr;
    qint64 wireNs = 0, exchanges = 0, requestBytes = 0;
    bool damaged = false;
    int late = 0;

    bool start(int lineBaud, bool fullBus, const QStringList &faults = {})
    {
        baud = lineBaud;
        ZelkGlobals::reset();
        const QDir bin(QCoreApplication::applicationDirPath());
        QFile::copy(bin.filePath("scale.ini"), dir.filePath("scale.ini"));
        ZelkGlobals::ApplicationFolder = dir.path();
        ZelkGlobals::ScaleIniPath = dir.filePath("scale.ini");
        ZelkGlobals::ErrorFilePath = dir.filePath("error.txt");
        ZelkGlobals::GuiIniPath = dir.filePath("ZelkGui.ini");
        QFile gui(ZelkGlobals::GuiIniPath);
        if (!gui.open(QIODevice::WriteOnly))
            return false;
        gui.write(QStringLiteral("[PARAMS]\r\nBaudRate=%1\r\n").arg(baud).toLatin1());
        gui.close();
        if (fullBus)
            fillBus(dir.path());
        const QString link = dir.filePath("line.tty");
        unitsim.start(QStringLiteral(ZELK_UNITSIM),
                      QStringList{"--store", dir.filePath("simbus.ini"), "--pty", "--link", link,
                                  "--baud", QString::number(baud), "--no-noise"} +
                          faults);
        if (!unitsim.waitForReadyRead(20000))
            return false;
        ZelkGlobals::ComPort = link;
        ZelkGlobals::SelectedUnitID = "1";
        fresh();
        return true;
    }
    // A device object that keeps nothing yet.
    void fresh()
    {
        auto owned = std::make_unique<SerialBus>();
        serial = owned.get();
        ZelkGlobals::Device = std::move(owned);
        serial->setFrameTap([this](const ModbusFrameEvent &e) {
            if (e.kind == ModbusFrameEvent::Kind::Request) {
                requestBytes = e.bytes.size();
            } else if (e.kind == ModbusFrameEvent::Kind::Answer) {
                wireNs += ModbusFrame::exchangeNs(int(requestBytes), int(e.bytes.size()), baud);
                ++exchanges;
            } else if (e.kind == ModbusFrameEvent::Kind::Late) {
                ++late;
            } else {
                damaged = true;
            }
        });
    }
    void resetCount() { wireNs = exchanges = 0; }
    ~Line()
    {
        ZelkGlobals::Device.reset();
        unitsim.kill();
        unitsim.waitForFinished(5000);
        ZelkGlobals::reset();
    }
};

// Wall and wire time of one run of the work, in ms.
template<typename Work> std::pair<double, double> timed(Line &line, Work work)
{
    line.resetCount();
    const qint64 t0 = nowNs();
    work();
    return {double(nowNs() - t0) / 1e6, double(line.wireNs) / 1e6};
}

// The work with block reads, once an iteration after `before`, against the
// same work value by value (wall and wire ms); the run fails on an error or a
// damaged frame.
template<typename Before, typename Work>
void blocksAgainstValues(benchmark::State &state, Line &line, double valuesWall, double valuesWire,
                         Before before, Work work)
{
    double wall = 0, wire = 0, calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        before();
        state.ResumeTiming();
        const auto [w, x] = timed(line, work);
        wall += w, wire += x, calls += double(line.exchanges);
        if (ZelkGlobals::ErrorFlag || line.damaged)
            state.SkipWithError("the work failed on a clean line");
    }
    const double runs = double(state.iterations());
    state.counters["wall_ms"] = wall / runs;
    state.counters["wire_ms"] = wire / runs;
    state.counters["calls"] = calls / runs;
    state.counters["values_wall_ms"] = valuesWall;
    state.counters["values_wire_ms"] = valuesWire;
}

void BM_BlockFullReadWire9600(benchmark::State &state)
{
    Line line;
    if (!line.start(9600, false)) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    const auto read = [] {
        ZelkData data;
        data.ReadZelkSetup("1");
    };
    line.fresh();
    line.serial->setBlockReads(false);
    const auto [valuesWall, valuesWire] = timed(line, read);
    // The first read after the port opens: nothing kept.
    blocksAgainstValues(
        state, line, valuesWall, valuesWire, [&line] { line.fresh(); }, read);
}
BENCHMARK(BM_BlockFullReadWire9600)->Unit(benchmark::kMillisecond)->Iterations(3);

// The monitor's read of the unit once, then polls as Monitor Mode makes
// them, each after a pause, as the poll timer leaves one.
void BM_BlockMonitorPollWire9600(benchmark::State &state)
{
    Line line;
    if (!line.start(9600, false)) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    MonitorSession session;
    const auto poll = [&session] {
        ZelkGlobals::MonitorCycleActive = true;
        session.readUnit("1");
        ZelkGlobals::MonitorCycleActive = false;
        session.readOutputStates("1");
        session.readOperatingHours("1");
    };
    line.serial->setBlockReads(false);
    session.readUnit("1");
    Pause(0.25);
    const auto [valuesWall, valuesWire] = timed(line, poll);
    line.fresh();
    session.readUnit("1");
    blocksAgainstValues(
        state, line, valuesWall, valuesWire, [] { Pause(0.25); }, poll);
}
BENCHMARK(BM_BlockMonitorPollWire9600)->Unit(benchmark::kMillisecond)->Iterations(5);

// Every unit's whole live state once: one status block each.
void BM_BusStatusCycleOnTheWire(benchmark::State &state)
{
    Line line;
    if (!line.start(int(state.range(0)), true)) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    SerialBus &bus = *line.serial;
    if (bus.OpenPort(ZelkGlobals::ComPort) != CmdOk) {
        state.SkipWithError("the line did not open");
        return;
    }
    double wall = 0, wire = 0;
    int answered = 0;
    for (auto _ : state) {
        Pause(0); // nothing of the last cycle is current
        const auto [w, x] = timed(line, [&] {
            answered = 0;
            for (int id = 1; id <= 32; ++id) {
                const UnitArg unit(id);
                StatusArray present, good, global, outputs;
                QString hours;
                qint16 raw = 0;
                bool ok = bus.GetPresentModules(unit, present) == CmdOk;
                ok = ok && bus.GetModuleGoodStatusByte(unit, good) == CmdOk;
                ok = ok && bus.GetGlobalStatusByte(unit, global) == CmdOk;
                ok = ok && bus.GetOutputState(unit, outputs) == CmdOk;
                ok = ok && bus.GetOperatingHoursString(unit, hours) == CmdOk;
                for (qint16 m = 1; m <= 5 && ok; ++m)
                    ok = bus.MeasureOutputVoltage(unit, m, raw) == CmdOk &&
                         bus.MeasureOutputCurrent(unit, m, raw) == CmdOk;
                answered += ok;
            }
        });
        wall += w, wire += x;
        if (answered != 32 || line.damaged || line.exchanges != 32)
            state.SkipWithError("a unit did not answer with one status block");
    }
    bus.ClosePort();
    const double runs = double(state.iterations());
    state.counters["cycle_ms"] = wall / runs;
    state.counters["wire_ms"] = wire / runs;
    state.counters["units"] = answered;
}
BENCHMARK(BM_BusStatusCycleOnTheWire)
    ->Arg(9600)
    ->Arg(115200)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Units 1, 3, 5 and 7 read value by value (they refuse block reads) while a
// third of their answers start 50 ms after the wait for them: every read
// gives the stored value, as the same store read in this process does, or
// fails with ERR_TIMEOUT; a value that is another request's is counted.
void BM_LateAnswersValueByValueOnTheWire(benchmark::State &state)
{
    Line line;
    if (!line.start(115200, false,
                    {"--refuse-blocks", "2", "--late-rate", "0.33", "--late-ms", "150"})) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    // The demo bus again, in a folder of its own: the emulator holds its store.
    QTemporaryDir mine;
    SimulatedBus store(mine.path(), line.dir.filePath("scale.ini"));
    store.setNoiseEnabled(false);
    store.setWireModelEnabled(false);
    qint16 timeoutMs = 100, retries = 2;
    line.serial->SetINIParams(timeoutMs, retries);
    if (store.OpenPort(QStringLiteral("COM1")) != CmdOk ||
        line.serial->OpenPort(ZelkGlobals::ComPort) != CmdOk) {
        state.SkipWithError("the line did not open");
        return;
    }
    using Get = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16 &);
    const Get gets[] = {&ZelkDevice::GetDefaultOutputVoltage,
                        &ZelkDevice::GetModuleGoodHighThreshold,
                        &ZelkDevice::GetModuleGoodLowThreshold};
    int reads = 0, wrong = 0, failed = 0;
    for (auto _ : state) {
        for (int i = 0; reads < 1000; ++i) {
            const UnitArg unit(1 + 2 * (i / 15 % 4));
            const auto module = qint16(1 + i / 3 % 5);
            const Get get = gets[i % 3];
            qint16 want = -1, got = -1;
            const QString wantReply = (store.*get)(unit, module, want);
            const QString reply = (line.serial->*get)(unit, module, got);
            ++reads;
            if (reply.startsWith(QLatin1String("ERR_TIMEOUT")))
                ++failed;
            else if (reply != wantReply || got != want)
                ++wrong;
        }
    }
    line.serial->ClosePort();
    state.counters["reads"] = reads;
    state.counters["honest_reads"] = reads - wrong;
    state.counters["wrong_values"] = wrong;
    state.counters["failed_reads"] = failed;
    state.counters["late_frames"] = line.late;
}
BENCHMARK(BM_LateAnswersValueByValueOnTheWire)->Unit(benchmark::kSecond)->Iterations(1);

// One record of a frame trace, quoted cells and all.
QStringList traceFields(const QString &line)
{
    QStringList fields(1);
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u'"' && quoted && i + 1 < line.size() && line[i + 1] == u'"')
            fields.last() += line[++i];
        else if (line[i] == u'"')
            quoted = !quoted;
        else if (line[i] == u',' && !quoted)
            fields.append(QString());
        else
            fields.last() += line[i];
    }
    return fields;
}

// The wire time of the answered exchanges of a zelkctl --trace file, split
// into the looks for units (a read of holding register 0 alone: the short
// question, and zelkctl's GetUnitID) and the rest.
struct TraceWire
{
    double lookMs = 0, restMs = 0;
    int answers = 0;
};
TraceWire traceWire(const QString &path, int baud)
{
    TraceWire wire;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return wire;
    QHash<QString, QString> requestOf; // the unit's last request, in hex
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1)) {
        const QStringList f = traceFields(line.trimmed());
        if (f.size() < FrameLog::ColumnCount)
            continue;
        const QString unit = f[FrameLog::Unit], bytes = f[FrameLog::Bytes];
        if (f[FrameLog::Direction] == QLatin1String("send")) {
            requestOf[unit] = bytes;
        } else if (f[FrameLog::Result] == QLatin1String("answer")) {
            const QString request = requestOf.value(unit);
            const double ms = double(ModbusFrame::exchangeNs(
                                  int(request.split(u' ', Qt::SkipEmptyParts).size()),
                                  int(bytes.split(u' ', Qt::SkipEmptyParts).size()), baud)) /
                              1e6;
            // Address, function 03, register 0, count 1.
            (request.mid(3, 15) == QLatin1String("03 00 00 00 01") ? wire.lookMs : wire.restMs) +=
                ms;
            ++wire.answers;
        }
    }
    return wire;
}

// zelkctl with these arguments on the line; its wall time in ms, or -1 when
// it failed.
double zelkctlMs(Line &line, const QStringList &arguments)
{
    QProcess ctl;
    const qint64 t0 = nowNs();
    ctl.start(QStringLiteral(ZELK_CTL), QStringList{"--app-dir", line.dir.path(), "--bus", "serial",
                                                    "--port", ZelkGlobals::ComPort} +
                                            arguments);
    if (!ctl.waitForFinished(120000) || ctl.exitCode() != 0)
        return -1;
    return double(nowNs() - t0) / 1e6;
}

// zelkctl scan of IDs 1..32 with units 1, 3, 5 and 7 on the line, against its
// floor: the 28 empty IDs' short questions, each a turn within SilentTimeout,
// and the wire time of what the scan reads of the four units. Then
// monitor --all's first poll, from process start to its end, against that
// floor and the wire time of one status cycle.
void BM_ScanOfTheBusOnTheWire(benchmark::State &state)
{
    Line line;
    const int baud = int(state.range(0));
    if (!line.start(baud, false)) {
        state.SkipWithError("the unit emulator did not start");
        return;
    }
    ZelkGlobals::Device.reset(); // the line is zelkctl's
    const QString trace = line.dir.filePath("trace.csv");
    const double character = double(ModbusFrame::characterNs(baud)) / 1e6;
    const double silence = double(ModbusFrame::silenceNs(baud)) / 1e6;
    // An empty ID's turn: the request with the silences around it, and the
    // wait, which leaves 5 ms of SilentTimeout for this side to wake but is
    // never under the one-register answer's time and 20 ms.
    const double requestMs = 2 * silence + 8 * character;
    const double waitMs = std::max(std::floor(ZelkIniKeys::DefaultSilentTimeout - requestMs - 5),
                                   std::ceil(7 * character + silence) + 20);
    const double turnMs = requestMs + waitMs;
    double scanMs = 0, scanFloor = 0, pollMs = 0, pollFloor = 0;
    for (auto _ : state) {
        QFile::remove(trace);
        const double scan = zelkctlMs(line, {"--trace", trace, "scan"});
        const TraceWire scanWire = traceWire(trace, baud);
        QFile::remove(trace);
        const double poll =
            zelkctlMs(line, {"--trace", trace, "monitor", "--all", "--interval", "60", "--log",
                             line.dir.filePath("all.csv"), "--count", "1"});
        const TraceWire pollWire = traceWire(trace, baud);
        if (scan < 0 || poll < 0 || scanWire.answers == 0 || pollWire.answers == 0) {
            state.SkipWithError("zelkctl failed on the line");
            return;
        }
        scanMs += scan, pollMs += poll;
        scanFloor += 28 * turnMs + scanWire.lookMs + scanWire.restMs;
        pollFloor += 28 * turnMs + scanWire.lookMs + scanWire.restMs + pollWire.restMs;
    }
    const double runs = double(state.iterations());
    state.counters["scan_ms"] = scanMs / runs;
    state.counters["scan_floor_ms"] = scanFloor / runs;
    state.counters["first_poll_ms"] = pollMs / runs;
    state.counters["first_poll_floor_ms"] = pollFloor / runs;
}
BENCHMARK(BM_ScanOfTheBusOnTheWire)
    ->Arg(9600)
    ->Arg(115200)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
