// Unit reads and configuration saves: CPU cost of a full editor read on the
// simulated bus (line time off) with its device call count, and a 32-unit
// save against writing the final file once.
#include "InTurns.h"
#include "configfile/ZelkConfigFile.h"
#include "core/ZelkGlobals.h"
#include "device/RecordingDevice.h"
#include "device/SimulatedBus.h"
#include "device/ZelkData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<SimulatedBus> bus;

    Fixture()
    {
        ZelkGlobals::reset();
        const QString shipped = QDir(QCoreApplication::applicationDirPath()).filePath("scale.ini");
        QFile::copy(shipped, dir.filePath("scale.ini"));
        ZelkGlobals::ApplicationFolder = dir.path();
        ZelkGlobals::ScaleIniPath = dir.filePath("scale.ini");
        ZelkGlobals::ErrorFilePath = dir.filePath("error.txt");
        ZelkGlobals::ComPort = "COM1";
        ZelkGlobals::SelectedUnitID = "1";
        bus = std::make_unique<SimulatedBus>(dir.path());
        bus->setWireModelEnabled(false);
    }
    ~Fixture() { ZelkGlobals::reset(); }
};

// A full set-up read of unit 1 (five modules).
void BM_ReadZelkSetupFiveModules(benchmark::State &state)
{
    Fixture f;
    // Count the calls once through a recorder, then time the bare bus.
    auto recorder = std::make_unique<RecordingDevice>(*f.bus);
    RecordingDevice *rec = recorder.get();
    ZelkGlobals::Device = std::move(recorder);
    ZelkData data;
    data.ReadZelkSetup("1");
    const double calls = double(rec->calls().size());
    ZelkGlobals::Device.reset();
    ZelkGlobals::Device.reset(f.bus.release());

    for (auto _ : state) {
        data.ReadZelkSetup("1");
        benchmark::DoNotOptimize(data.MODULES);
    }
    if (ZelkGlobals::ErrorFlag)
        state.SkipWithError(ZelkGlobals::LastError.toStdString().c_str());
    state.counters["device_calls"] = calls;
    // One type query per fitted module would do; the read asks three times.
    state.counters["minimum_calls"] = calls - 10;
}
BENCHMARK(BM_ReadZelkSetupFiveModules)->Unit(benchmark::kMicrosecond);

// 32 five-module records, read once from the simulated unit 1.
std::vector<std::unique_ptr<ZelkData>> thirtyTwoUnits(Fixture &f)
{
    auto recorder = std::make_unique<RecordingDevice>(*f.bus);
    ZelkGlobals::Device = std::move(recorder);
    std::vector<std::unique_ptr<ZelkData>> units;
    for (int u = 1; u <= 32; ++u) {
        auto d = std::make_unique<ZelkData>();
        d->ReadZelkSetup("1");
        d->PowerSupplyID = QString::number(u);
        units.push_back(std::move(d));
    }
    ZelkGlobals::Device.reset();
    return units;
}

// Saving 32 five-module units into a new file and, in turns with it, the same
// bytes written once.
void BM_WriteAllUnitsAndFloorInTurns(benchmark::State &state)
{
    Fixture f;
    const auto units = thirtyTwoUnits(f);
    // A new file each time, in a folder that does not grow.
    ZelkGlobals::ConfigFileToWrite = f.dir.filePath(QStringLiteral("save.ini"));
    InTurns::run(state, ZelkGlobals::ConfigFileToWrite, f.dir.filePath(QStringLiteral("floor.ini")),
                 [&units] {
                     return ZelkConfigFile::WriteAllUnits(
                         [&units](int u) { return units[u - 1].get(); });
                 });
    state.counters["file_bytes"] = double(QFileInfo(ZelkGlobals::ConfigFileToWrite).size());
}
BENCHMARK(BM_WriteAllUnitsAndFloorInTurns)->Unit(benchmark::kMicrosecond)->UseManualTime();

} // namespace
