#pragma once

// A save and its floor (the same bytes written once) timed in turns within
// one benchmark: the disk's speed drifts with whatever else writes to it, and
// measured minutes apart the two would see different disks.
#include <QFile>
#include <QSaveFile>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace InTurns {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Writes bytes to path once, atomically: the floor of any save of them.
inline bool writeOnce(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Each iteration removes savedPath and runs save (which must create it), then
// removes floorPath and writes the same bytes once to it: each write follows
// the removal of its own file, so both find the disk in the same state. The iteration's time is the
// save's; counters save_us and floor_us are the medians of each over the iterations.
template<typename Save>
void run(benchmark::State &state, const QString &savedPath, const QString &floorPath, Save save)
{
    using Clock = std::chrono::steady_clock;
    const auto micros = [](Clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count();
    };
    std::vector<double> saves, floors;
    for (auto _ : state) {
        QFile::remove(savedPath);
        const auto start = Clock::now();
        const bool saved = save();
        const auto saveEnd = Clock::now();
        QFile file(savedPath);
        if (!saved || !file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("the save failed");
            break;
        }
        const QByteArray bytes = file.readAll();
        file.close();
        QFile::remove(floorPath);
        const auto floorStart = Clock::now();
        if (!writeOnce(floorPath, bytes)) {
            state.SkipWithError("writing the floor failed");
            break;
        }
        const auto floorEnd = Clock::now();
        saves.push_back(micros(saveEnd - start));
        floors.push_back(micros(floorEnd - floorStart));
        state.SetIterationTime(std::chrono::duration<double>(saveEnd - start).count());
    }
    state.counters["save_us"] = median(saves);
    state.counters["floor_us"] = median(floors);
    state.counters["ratio"] = median(floors) > 0 ? median(saves) / median(floors) : 0;
}

} // namespace InTurns
