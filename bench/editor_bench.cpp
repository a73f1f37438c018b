// Pressing Start in the editor until the form is filled, for the five-module
// unit 1 of the simulated bus: with the wire model off (the editor's and the
// reader's own cost) and on at 9600 baud (line time included).
#include "EditorState.h"
#include "SimulatedBus.h"
#include "SupplyConfig.h"
#include "ZelkGlobals.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    SimulatedBus *bus = nullptr;

    explicit Fixture(bool wire)
    {
        ZelkGlobals::reset();
        EditorState::reset();
        const QDir shipped(QCoreApplication::applicationDirPath());
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            QFile::copy(shipped.filePath(file), dir.filePath(file));
        registerSimulatedBus();
        if (!InitGlobals(dir.path()))
            return;
        bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        bus->setNoiseEnabled(false);
        bus->setWireModelEnabled(wire);
        SupplyConfig &editor = SupplyConfig::instance();
        editor.UnitList->setCurrentIndex(editor.UnitList->findText(QStringLiteral("1")));
        editor.show();
    }
    ~Fixture()
    {
        SupplyConfig::destroyInstance();
        ZelkGlobals::Device.reset();
        ZelkGlobals::reset();
    }
};

void readUnitOne(benchmark::State &state, bool wire)
{
    Fixture f(wire);
    if (!f.bus) {
        state.SkipWithError("start-up failed");
        return;
    }
    SupplyConfig &editor = SupplyConfig::instance();
    for (auto _ : state) {
        editor.SelectButton_Click();
        if (!EditorState::UnitShown) {
            state.SkipWithError("read failed");
            return;
        }
    }
}

void BM_EditorReadFiveModulesWireOff(benchmark::State &state)
{
    readUnitOne(state, false);
}
BENCHMARK(BM_EditorReadFiveModulesWireOff)->Unit(benchmark::kMillisecond);

void BM_EditorReadFiveModulesWire9600(benchmark::State &state)
{
    readUnitOne(state, true);
}
BENCHMARK(BM_EditorReadFiveModulesWire9600)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
