// INI engine costs for a configuration save and load of 32 units: the batch
// must stay within twice the cost of writing, or parsing, the file once.
#include "InTurns.h"
#include "core/IniDocument.h"
#include "core/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

struct Write
{
    QString section, key, value;
};

// 32 units x (11 unit keys + 5 modules x 21 keys) = 3,712 writes.
const std::vector<Write> &configurationWrites()
{
    static const std::vector<Write> writes = [] {
        static const char *const unitKeys[] = {
            "SerialNumber", "ModelName",   "FirmwareVersion", "UnitID",  "Address",   "BaudRate",
            "GlobalOutput", "Description", "ChassisType",     "FanMode", "ConfigDate"};
        static const char *const moduleKeys[] = {
            "ModuleType", "SerialNumber", "VoltageSet",    "CurrentLimit", "OVPLevel",
            "UVPLevel",   "OCPMode",      "OutputEnabled", "RampTime",     "GroupID",
            "Margining",  "RemoteSense",  "PowerGood",     "Trim",         "Calibration",
            "SoftStart",  "Sequence",     "DelayOn",       "DelayOff",     "Inhibit",
            "Label"};
        std::vector<Write> result;
        for (int unit = 1; unit <= 32; ++unit) {
            const QString unitSection = QStringLiteral("PS%1").arg(unit);
            for (const char *key : unitKeys)
                result.push_back({unitSection, QString::fromLatin1(key),
                                  QStringLiteral("U%1-%2").arg(unit).arg(key)});
            for (int module = 1; module <= 5; ++module) {
                const QString section = QStringLiteral("PS%1MODULE%2").arg(unit).arg(module);
                for (const char *key : moduleKeys)
                    result.push_back({section, QString::fromLatin1(key),
                                      QStringLiteral("%1.%2").arg(unit * 7).arg(module)});
            }
        }
        return result;
    }();
    return writes;
}

// A folder per run; TMPDIR chooses the file system that is measured.
const QTemporaryDir &benchDir()
{
    static const QTemporaryDir dir;
    return dir;
}

bool writeAll(const QString &path)
{
    bool ok = true;
    for (const Write &write : configurationWrites())
        ok &= IniFile::writeValue(path, write.section, write.key, write.value);
    return ok;
}

// The finished file, as the batch writes it.
const QString &finalFile()
{
    static const QString path = [] {
        const QString file = benchDir().filePath(QStringLiteral("final.ini"));
        IniBatch batch(file);
        if (!writeAll(file) || !batch.commit())
            std::abort();
        return file;
    }();
    return path;
}

// The batch save into a new file and, in turns with it, the same bytes
// written once.
void BM_BatchSaveAndFloorInTurns(benchmark::State &state)
{
    const QString path = benchDir().filePath(QStringLiteral("batch.ini"));
    InTurns::run(state, path, benchDir().filePath(QStringLiteral("floor.ini")), [&path] {
        IniBatch batch(path);
        const bool written = writeAll(path);
        return batch.commit() && written;
    });
    state.SetItemsProcessed(state.iterations() * qint64(configurationWrites().size()));
}

void removeBetweenRuns(benchmark::State &state, const QString &path)
{
    state.PauseTiming();
    QFile::remove(path);
    state.ResumeTiming();
}

void BM_OneByOne3712(benchmark::State &state)
{
    const QString path = benchDir().filePath(QStringLiteral("single.ini"));
    for (auto _ : state) {
        removeBetweenRuns(state, path);
        if (!writeAll(path))
            state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations() * qint64(configurationWrites().size()));
}

void BM_ParseOnce(benchmark::State &state)
{
    const QString path = finalFile();
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            state.SkipWithError("reading failed");
        const IniDocument doc = IniDocument::parse(file.readAll());
        benchmark::DoNotOptimize(doc.value("PS32MODULE5", "Label"));
    }
}

void BM_BatchReads3712(benchmark::State &state)
{
    const QString path = finalFile();
    IniBatch batch(path); // parsed once, outside the timed reads
    for (auto _ : state) {
        for (const Write &write : configurationWrites()) {
            QString value = IniFile::readString(path, write.section, write.key);
            benchmark::DoNotOptimize(value);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(configurationWrites().size()));
    (void)batch.commit();
}

BENCHMARK(BM_BatchSaveAndFloorInTurns)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(BM_OneByOne3712)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ParseOnce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BatchReads3712)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
