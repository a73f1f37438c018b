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

// Each iteration times save (which must create savedPath) and the single
// write of the same bytes to floorPath, each right after its own file is
// removed, and reads both files back. The two go first in turns: the disk
// finishes the previous write's work during whichever comes next. The
// iteration's time is the save's; counters save_us and floor_us are the
// medians of each over the iterations.
template<typename Save>
void run(benchmark::State &state, const QString &savedPath, const QString &floorPath, Save save)
{
    using Clock = std::chrono::steady_clock;
    const auto micros = [](Clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count();
    };
    const auto readBack = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    std::vector<double> saves, floors;
    QByteArray bytes; // what the save writes, the same each time
    bool saveFirst = true;
    for (auto _ : state) {
        double floorUs = 0;
        const auto writeFloor = [&] {
            QFile::remove(floorPath);
            const auto start = Clock::now();
            const bool written = writeOnce(floorPath, bytes);
            floorUs = micros(Clock::now() - start);
            return written && readBack(floorPath) == bytes;
        };
        if (!saveFirst && !writeFloor()) {
            state.SkipWithError("writing the floor failed");
            break;
        }
        QFile::remove(savedPath);
        const auto start = Clock::now();
        const bool saved = save();
        const auto saveEnd = Clock::now();
        const QByteArray savedBytes = readBack(savedPath);
        if (!saved || savedBytes.isEmpty() || (!bytes.isEmpty() && savedBytes != bytes)) {
            state.SkipWithError("the save failed or wrote other bytes than before");
            break;
        }
        bytes = savedBytes;
        if (saveFirst && !writeFloor()) {
            state.SkipWithError("writing the floor failed");
            break;
        }
        saveFirst = !saveFirst;
        saves.push_back(micros(saveEnd - start));
        floors.push_back(floorUs);
        state.SetIterationTime(std::chrono::duration<double>(saveEnd - start).count());
    }
    state.counters["save_us"] = median(saves);
    state.counters["floor_us"] = median(floors);
    state.counters["ratio"] = median(floors) > 0 ? median(saves) / median(floors) : 0;
}

} // namespace InTurns
