// Cost of one Monitor Mode poll without its window: the unit read, the
// record and the status log file. Appending keeps a poll's cost flat as the
// log grows; the full rewrite it replaces is measured beside it.
#include "core/ZelkGlobals.h"
#include "device/SimulatedBus.h"
#include "monitor/DiskLogFileAccess.h"
#include "monitor/LogRotation.h"
#include "monitor/MonitorSession.h"
#include "monitor/StatusLog.h"
#include "monitor/StatusLogFile.h"
#include "monitor/StatusLogFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>

namespace {

struct PollBench
{
    QTemporaryDir dir;
    std::unique_ptr<MonitorSession> session;
    StatusLog log;
    StatusLogFile writer;
    DiskLogFileAccess disk;
    QString path;
    int polls = 0;
    LogRotation *rotation = nullptr; // the log cut into files when set

    explicit PollBench(int records)
    {
        const QDir app(QCoreApplication::applicationDirPath());
        for (const char *name : {"scale.ini", "ZelkGui.ini", "Zelk.ini"})
            QFile::copy(app.filePath(name), dir.filePath(name));
        registerSimulatedBus();
        if (!InitGlobals(dir.path()))
            qFatal("start-up failed");
        // The line's own time is measured apart (BM_PollOnTheWire).
        dynamic_cast<SimulatedBus &>(*ZelkGlobals::Device).setWireModelEnabled(false);
        session = std::make_unique<MonitorSession>();
        ZelkGlobals::SelectedUnitID = QStringLiteral("1");
        session->readUnit(QStringLiteral("1"));
        path = dir.filePath(QStringLiteral("Log.csv"));
        log.addHeader();
        whole = StatusLogFormat::header().toUtf8();
        // The log holds its last records only: the file gets them all, taken
        // in turns no larger than the log holds.
        const QString line = StatusLogFormat::logRecord(record());
        for (int i = 0; i < records; ++i) {
            log.append(line);
            whole += line.toUtf8();
            if ((i + 1) % (StatusLog::MaxHeld / 2) == 0)
                (void)writer.sync(path, log);
        }
        (void)writer.sync(path, log);
    }

    // What a writer that rewrites the file at every poll would write.
    QByteArray whole;

    PollRecord record()
    {
        const ZelkData &d = session->data();
        PollRecord r;
        r.stamp = QDateTime(QDate(2026, 12, 4), QTime(10, 30)).addSecs(polls * 5);
        r.unitId = d.UnitID;
        r.overTemp = StatusLogFormat::okFail(d.OverTemp);
        r.fanFail = StatusLogFormat::okFail(d.FanFail && d.FanWarn);
        r.globalDcGood = StatusLogFormat::okFail(d.GlobalDC);
        r.fanWarn = StatusLogFormat::okFail(d.FanWarn);
        r.acOk = StatusLogFormat::okFail(d.AcOk);
        r.globalCurrentLimit = StatusLogFormat::okFail(d.GlobalCurrentLimit);
        r.globalOvp = StatusLogFormat::okFail(d.ModuleGoodStatus == QLatin1String("00000000"));
        r.operatingHours = d.OperatingHours;
        for (int m = 1; m <= 5; ++m) {
            r.good[m - 1] = StatusLogFormat::okFail(d.ModuleGoodStatus.mid(m - 1, 1) == "1");
            r.volts[m - 1] = d.Module(m).MeasuredVoltage;
            r.amps[m - 1] = d.Module(m).MeasuredCurrent;
        }
        r.outputState = ZelkGlobals::OutputStateText;
        return r;
    }

    void poll(bool fullRewrite)
    {
        const QString unit = QStringLiteral("1");
        ZelkGlobals::MonitorCycleActive = true;
        session->readUnit(unit);
        ZelkGlobals::MonitorCycleActive = false;
        session->readOutputStates(unit);
        (void)session->readOperatingHours(unit);
        ++polls;
        const QString line = StatusLogFormat::logRecord(record());
        log.append(line);
        if (fullRewrite) {
            whole += line.toUtf8();
            (void)disk.replace(path, whole);
        } else if (rotation) {
            (void)rotation->write(writer, path, log);
        } else {
            (void)writer.sync(path, log);
        }
    }
};

// Arguments: records already in the log; 0 appends, 1 rewrites in full.
void BM_Poll(benchmark::State &state)
{
    PollBench bench(static_cast<int>(state.range(0)));
    const bool full = state.range(1) == 1;
    for (auto _ : state)
        bench.poll(full);
}
BENCHMARK(BM_Poll)
    ->Args({100, 0})
    ->Args({50000, 0})
    ->Args({100, 1})
    ->Args({50000, 1})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// One poll of the five-module unit with the line at 9600 baud. The counters
// give the wall time and the wire time, taken as the difference to the same
// poll with the wire model off.
void BM_PollOnTheWire(benchmark::State &state)
{
    PollBench bench(100);
    auto *bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
    double on = 0, off = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        bus->setWireModelEnabled(false);
        t.start();
        bench.poll(false);
        off += t.nsecsElapsed();
        bus->setWireModelEnabled(true);
        t.restart();
        bench.poll(false);
        on += t.nsecsElapsed();
    }
    const double n = double(state.iterations());
    state.counters["wall_ms"] = on / n / 1e6;
    state.counters["cpu_ms"] = off / n / 1e6;
    state.counters["wall_over_wire"] = on / (on - off);
}
// The same poll with its status log cut by size every 50 records, the newest
// 5 files kept (each cut starts a file and removes the oldest), and without
// cuts, timed in turns so that both see the same disk. Counters: the mean
// poll of each, cuts included, in µs.
void BM_PollWithLogCutsInTurns(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    PollBench plain(100);
    PollBench cut(100);
    LogRotation rotation;
    const qint64 recordBytes = StatusLogFormat::logRecord(cut.record()).toUtf8().size();
    rotation.setSettings({LogRotationSettings::Cut::Size, 50 * recordBytes, 5});
    cut.rotation = &rotation;
    double plainNs = 0, cutNs = 0;
    bool plainFirst = true;
    for (auto _ : state) {
        const auto timed = [](PollBench &bench, double &total) {
            const auto start = Clock::now();
            bench.poll(false);
            total += std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        };
        if (plainFirst) {
            timed(plain, plainNs);
            timed(cut, cutNs);
        } else {
            timed(cut, cutNs);
            timed(plain, plainNs);
        }
        plainFirst = !plainFirst;
    }
    const double n = double(state.iterations());
    state.counters["plain_us"] = plainNs / n / 1e3;
    state.counters["rotating_us"] = cutNs / n / 1e3;
    state.counters["files"] =
        double(QDir(cut.dir.path()).entryList({QStringLiteral("Log-*.csv")}).size());
}
BENCHMARK(BM_PollWithLogCutsInTurns)->Unit(benchmark::kMicrosecond)->Iterations(2000);

BENCHMARK(BM_PollOnTheWire)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
