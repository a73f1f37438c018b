// Pressing Start in the editor until the form is filled, for the five-module
// unit 1 of the simulated bus: with the wire model off (the editor's and the
// reader's own cost) and on at 9600 baud (line time included).
// Saving 32 read five-module units through the window, from the chosen file
// name to the file on disk, against writing the same bytes once.
#include "InTurns.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "device/SimulatedBus.h"
#include "editor/EditorState.h"
#include "editor/SupplyConfig.h"

#include <QApplication>
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

// Answers the save dialog with one path; no other box is expected.
class FixedFileDialogs final : public Dialogs
{
public:
    QString path;
    int boxes = 0;
    MsgResult MsgBox(const QString &, MsgButtons, MsgIcon, const QString &) override
    {
        ++boxes;
        return MsgResult::OK;
    }
    void Notice(const QString &, MsgIcon, const QString &) override { ++boxes; }
    InputResult InputBox(const QString &, const QString &, const QString &) override { return {}; }
    QString GetSaveFileName(const FileDialogRequest &) override { return path; }
    QString GetOpenFileName(const FileDialogRequest &) override { return {}; }
};

// A bus of 32 copies of demo unit 1 (slot 1), each read into the editor.
struct SaveFixture
{
    QTemporaryDir dir;
    FixedFileDialogs dialogs;
    Dialogs *previous = nullptr;
    bool ready = false;

    SaveFixture()
    {
        ZelkGlobals::reset();
        EditorState::reset();
        const QDir shipped(QCoreApplication::applicationDirPath());
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            QFile::copy(shipped.filePath(file), dir.filePath(file));
        registerSimulatedBus();
        if (!InitGlobals(dir.path()) || !makeThirtyTwoUnits())
            return;
        ZelkGlobals::Device.reset();
        if (!InitGlobals(dir.path()))
            return;
        auto *bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        if (!bus || bus->unitIds().size() != 32)
            return;
        bus->setNoiseEnabled(false);
        bus->setWireModelEnabled(false);
        previous = &Seams::dialogs();
        Seams::setDialogs(&dialogs);
        dialogs.path = dir.filePath(QStringLiteral("units.txt"));
        SupplyConfig &editor = SupplyConfig::instance();
        editor.show();
        for (int id = 32; id >= 1; --id) {
            editor.UnitList->setCurrentIndex(editor.UnitList->findText(QString::number(id)));
            editor.SelectButton_Click();
            if (!EditorState::UnitShown)
                return;
        }
        ready = dialogs.boxes == 0;
    }
    ~SaveFixture()
    {
        SupplyConfig::destroyInstance();
        if (previous)
            Seams::setDialogs(previous);
        ZelkGlobals::Device.reset();
        ZelkGlobals::reset();
    }

    // simbus.ini with slot 1's sections copied to slots 1..32, unit ID = slot.
    bool makeThirtyTwoUnits()
    {
        QFile file(dir.filePath(QStringLiteral("simbus.ini")));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        file.close();
        QStringList slotOne;
        bool inSlotOne = false;
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1Char('[')))
                inSlotOne = line == QLatin1String("[Supply1]") ||
                            line.startsWith(QLatin1String("[Supply1.Module"));
            if (inSlotOne && !line.isEmpty())
                slotOne << line;
        }
        QString out;
        for (int slot = 1; slot <= 32; ++slot) {
            for (QString line : slotOne) {
                line.replace(QStringLiteral("[Supply1"),
                             QStringLiteral("[Supply") + QString::number(slot));
                if (line.startsWith(QLatin1String("UnitID=")))
                    line = QStringLiteral("UnitID=") + QString::number(slot);
                out += line + QStringLiteral("\r\n");
            }
        }
        QSaveFile bus(file.fileName());
        return bus.open(QIODevice::WriteOnly) && bus.write(out.toUtf8()) > 0 && bus.commit();
    }
};

// Set up on first use; main ends it while the application still exists.
std::unique_ptr<SaveFixture> g_saveFixture;

SaveFixture &saveFixture()
{
    if (!g_saveFixture)
        g_saveFixture = std::make_unique<SaveFixture>();
    return *g_saveFixture;
}

// Saving 32 read units through the window (Save clicked, the file chosen at
// once, the file written and the log line shown) and, in turns with it, the
// same bytes written once.
void BM_EditorSaveAndFloorInTurns(benchmark::State &state)
{
    SaveFixture &f = saveFixture();
    if (!f.ready) {
        state.SkipWithError("set-up failed");
        return;
    }
    SupplyConfig &editor = SupplyConfig::instance();
    InTurns::run(state, f.dialogs.path, f.dir.filePath(QStringLiteral("floor.txt")), [&editor, &f] {
        editor.Save_Click();
        return f.dialogs.boxes == 0;
    });
}
BENCHMARK(BM_EditorSaveAndFloorInTurns)->Unit(benchmark::kMicrosecond)->UseManualTime();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_saveFixture.reset();
    benchmark::Shutdown();
    return 0;
}
