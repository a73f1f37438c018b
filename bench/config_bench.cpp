// A configuration file applied to the five-module unit 1 of the simulated
// bus, every setting different but the default global output state, on the 9600-baud wire model:
// the wall time against the line time of its calls, and the calls counted (the reads the diff
// needs, the writes with their follow-ups, the read-backs). zelkctl read from process start to its
// output, against zelkctl --version.
#include "configfile/ConfigFileContents.h"
#include "configfile/ConfigSession.h"
#include "core/IniFile.h"
#include "core/ZelkGlobals.h"
#include "device/RecordingDevice.h"
#include "device/SimulatedBus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

namespace CS = ConfigSetting;
using CS::Id;

void copyShipped(const QString &folder)
{
    const QDir shipped(QCoreApplication::applicationDirPath());
    for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
        QFile::copy(shipped.filePath(file), QDir(folder).filePath(file));
}

// Every setting of the unit moved to another value its module takes.
qint32 other(Id id, qint32 v)
{
    switch (id) {
    case Id::StartUpDelay:
    case Id::ActivationTime:
    case Id::ResetTime:
        return v + 100;
    case Id::Setpoint:
    case Id::CurrentLimit:
        return qint32(std::lround(v * 0.9));
    case Id::LimitMode:
        return CS::modeValue(int(CS::Mode::Hiccup), 0);
    case Id::HighLimit:
    case Id::LowLimit:
        return v; // set around the new set-point below
    case Id::Global:
        return v; // a unit held off at power-up is saved without its modules
    default:
        return 1 - v;
    }
}

struct Fixture
{
    QTemporaryDir dir;
    SimulatedBus *bus = nullptr;
    std::optional<ConfigFileContents> target;
    std::optional<UnitState> saved;

    Fixture()
    {
        ZelkGlobals::reset();
        copyShipped(dir.path());
        registerSimulatedBus();
        if (!InitGlobals(dir.path()))
            return;
        bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        bus->setNoiseEnabled(false);
        bus->setWireModelEnabled(false);
        ConfigSession s(*bus, ZelkGlobals::ComPort);
        const UnitArg u(QStringLiteral("1"));
        // The saved state: module 2 off Hiccup and the group state on, so
        // that the target differs in those too.
        bus->OpenPort(ZelkGlobals::ComPort);
        bus->SetCurrentLimitMode(u, 2, 0, 0);
        bus->SetDefaultGroupState(u, 1);
        bus->ClosePort();
        const QString targetPath = dir.filePath(QStringLiteral("target.txt"));
        QString error;
        saved = s.readUnit(1, &error);
        const std::optional<UnitState> &a = saved;
        if (!a)
            return;
        bus->OpenPort(ZelkGlobals::ComPort);
        for (Id id : CS::UnitIds)
            CS::set(*bus, u, 0, id, other(id, *a->value(0, id)));
        for (int m = 1; m <= 5; ++m) {
            for (Id id : CS::ModuleIds)
                CS::set(*bus, u, m, id, other(id, *a->value(m, id)));
            const qint32 setpoint = other(Id::Setpoint, *a->value(m, Id::Setpoint));
            CS::set(*bus, u, m, Id::HighLimit, qint32(std::lround(setpoint * 1.04)));
            CS::set(*bus, u, m, Id::LowLimit, qint32(std::lround(setpoint * 0.96)));
            // A new current limit puts the module back in its default mode.
            CS::set(*bus, u, m, Id::LimitMode, other(Id::LimitMode, 0));
        }
        bus->ClosePort();
        if (!s.save(targetPath, {1}).written)
            return;
        target = ConfigFileContents::read(targetPath, &error);
        restore();
    }
    // Every setting back as it was, the mode after its current limit.
    void restore()
    {
        const UnitArg u(QStringLiteral("1"));
        bus->setWireModelEnabled(false);
        bus->OpenPort(ZelkGlobals::ComPort);
        for (Id id : CS::UnitIds)
            CS::set(*bus, u, 0, id, *saved->value(0, id));
        for (int m = 1; m <= 5; ++m) {
            for (Id id : CS::ModuleIds)
                CS::set(*bus, u, m, id, *saved->value(m, id));
            CS::set(*bus, u, m, Id::LimitMode, *saved->value(m, Id::LimitMode));
        }
        bus->ClosePort();
    }
    ~Fixture()
    {
        ZelkGlobals::Device.reset();
        ZelkGlobals::reset();
    }
};

void applyEverySetting(benchmark::State &state, bool wire)
{
    Fixture f;
    if (!f.bus || !f.target || !f.saved) {
        state.SkipWithError("set-up failed");
        return;
    }
    RecordingDevice recorder(*f.bus);
    qint64 wireUs = 0;
    recorder.onCall = [&](const RecordingDevice::Call &call) {
        if (call.method != QLatin1String("OpenPort") && call.method != QLatin1String("ClosePort"))
            wireUs += f.bus->lastCallLineTimeUs();
    };
    double wallNs = 0;
    ConfigSession::Counts counts;
    int runs = 0;
    for (auto _ : state) {
        f.bus->setWireModelEnabled(wire);
        wireUs = 0;
        ConfigSession s(recorder, ZelkGlobals::ComPort);
        QElapsedTimer t;
        t.start();
        const ConfigSession::UnitSummary result = s.applyTo(*f.target->unit(1), 1, false, true);
        wallNs += double(t.nsecsElapsed());
        state.PauseTiming();
        if (result.outcome != ConfigSession::Outcome::Done) {
            state.SkipWithError(result.text.toUtf8().constData());
            return;
        }
        counts = s.counts;
        ++runs;
        f.restore();
        state.ResumeTiming();
    }
    state.counters["diff_reads"] = counts.diffReads;
    state.counters["writes"] = counts.writes;
    state.counters["follow_up_writes"] = counts.followUps;
    state.counters["verify_reads"] = counts.verifyReads;
    state.counters["device_calls"] = counts.total();
    state.counters["wire_ms"] = double(wireUs) / 1e3;
    state.counters["wall_ms"] = wallNs / runs / 1e6;
    if (wire)
        state.counters["wall_over_wire"] = wallNs / runs / (double(wireUs) * 1e3);
}

void BM_ApplyFiveModulesEverySettingWire9600(benchmark::State &state)
{
    applyEverySetting(state, true);
}
BENCHMARK(BM_ApplyFiveModulesEverySettingWire9600)->Unit(benchmark::kMillisecond)->Iterations(2);

// The same without the line: what the engine and the bus cost themselves.
void BM_ApplyFiveModulesEverySettingWireOff(benchmark::State &state)
{
    applyEverySetting(state, false);
}
BENCHMARK(BM_ApplyFiveModulesEverySettingWireOff)->Unit(benchmark::kMillisecond)->Iterations(5);

// One process run to its end, in ms; negative when it failed.
double runMs(const QStringList &arguments)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(ZELK_CTL), arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0 || p.readAllStandardOutput().isEmpty())
        return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

// The two commands in turns, so that both see the same machine.
void BM_ZelkctlReadVsVersionInTurns(benchmark::State &state)
{
    QTemporaryDir dir;
    copyShipped(dir.path());
    {
        SimulatedBus made(dir.path());
    }
    if (!IniFile::writeString(dir.filePath(QStringLiteral("simbus.ini")), QStringLiteral("Bus"),
                              QStringLiteral("WireModel"), QStringLiteral("0"))) {
        state.SkipWithError("simbus.ini could not be written");
        return;
    }
    double read = 0, version = 0;
    int runs = 0;
    for (auto _ : state) {
        const double v = runMs({QStringLiteral("--version")});
        const double r = runMs(
            {QStringLiteral("--app-dir"), dir.path(), QStringLiteral("read"), QStringLiteral("1")});
        if (v < 0 || r < 0) {
            state.SkipWithError("zelkctl failed");
            return;
        }
        version += v;
        read += r;
        ++runs;
    }
    state.counters["read_ms"] = read / runs;
    state.counters["version_ms"] = version / runs;
    state.counters["read_over_version"] = read / version;
}
BENCHMARK(BM_ZelkctlReadVsVersionInTurns)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
