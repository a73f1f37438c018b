#include "monitor/TrendData.h"

#include <algorithm>
#include <cmath>

namespace {
qint32 hundredths(double value)
{
    const double scaled = std::nearbyint(value * 100.0);
    // The gap marker is the lowest number: a reading never becomes it.
    constexpr double low = std::numeric_limits<qint32>::min() + 1.0;
    constexpr double high = std::numeric_limits<qint32>::max();
    return static_cast<qint32>(std::clamp(scaled, low, high));
}

qint64 floorTo(qint64 ms, qint64 step)
{
    const qint64 q = ms / step;
    return (ms % step < 0 ? q - 1 : q) * step;
}
} // namespace

void TrendData::add(int m, qint64 ms, std::optional<double> volts, std::optional<double> amps)
{
    if (m < 1 || m > 5)
        return;
    Module &module = m_modules[std::size_t(m - 1)];
    const bool reading = volts && amps && std::isfinite(*volts) && std::isfinite(*amps);
    module.raw.push_back(
        {ms, reading ? hundredths(*volts) : Gap, reading ? hundredths(*amps) : Gap});
    m_newestMs = std::max(m_newestMs, ms);
    while (!module.raw.empty() && (qsizetype(module.raw.size()) > MaxRawSamples ||
                                   module.raw.front().ms < ms - RawSpanMs)) {
        fold(module, module.raw.front());
        module.raw.pop_front();
    }
    while (!module.buckets.empty() && module.buckets.front().startMs + BucketMs <= ms - KeptSpanMs)
        module.buckets.pop_front();
}

void TrendData::fold(Module &module, const Sample &sample)
{
    const qint64 start = floorTo(sample.ms, BucketMs);
    if (module.buckets.empty() || module.buckets.back().startMs != start) {
        constexpr qint32 low = std::numeric_limits<qint32>::min();
        constexpr qint32 high = std::numeric_limits<qint32>::max();
        module.buckets.push_back({start, high, low, high, low, 0, 0});
    }
    Bucket &b = module.buckets.back();
    if (sample.volts == Gap) {
        ++b.gaps;
        return;
    }
    ++b.readings;
    b.voltsMin = std::min(b.voltsMin, sample.volts);
    b.voltsMax = std::max(b.voltsMax, sample.volts);
    b.ampsMin = std::min(b.ampsMin, sample.amps);
    b.ampsMax = std::max(b.ampsMax, sample.amps);
}

void TrendData::clear()
{
    for (Module &module : m_modules) {
        module.raw.clear();
        module.buckets.clear();
    }
    m_newestMs = 0;
}

bool TrendData::hasData(int m) const
{
    if (m < 1 || m > 5)
        return false;
    const Module &module = m_modules[std::size_t(m - 1)];
    return !module.raw.empty() || !module.buckets.empty();
}

void TrendData::addEnvelope(QList<Point> &out, qint64 ms, qint32 vMin, qint32 vMax, qint32 aMin,
                            qint32 aMax, bool data)
{
    if (!data)
        return;
    out.append({ms, vMin / 100.0, aMin / 100.0, false});
    if (vMin != vMax || aMin != aMax)
        out.append({ms, vMax / 100.0, aMax / 100.0, false});
}

QList<TrendData::Point> TrendData::points(int m, qint64 from, qint64 to, int maxPoints) const
{
    QList<Point> out;
    if (m < 1 || m > 5 || to < from)
        return out;
    const Module &module = m_modules[std::size_t(m - 1)];
    const auto addGap = [&](qint64 ms) {
        out.append({ms, 0, 0, true});
    };

    // Folded stretches: a bucket that held a poll without an answer breaks
    // the line after its values, so no gap is lost at any scale.
    for (const Bucket &b : module.buckets) {
        if (b.startMs + BucketMs <= from || b.startMs > to)
            continue;
        const qint64 mid = b.startMs + BucketMs / 2;
        addEnvelope(out, mid, b.voltsMin, b.voltsMax, b.ampsMin, b.ampsMax, b.readings > 0);
        if (b.gaps > 0)
            addGap(mid);
    }

    const auto byTime = [](const Sample &s, qint64 ms) {
        return s.ms < ms;
    };
    const auto first = std::lower_bound(module.raw.begin(), module.raw.end(), from, byTime);
    const auto last = std::lower_bound(first, module.raw.end(), to + 1, byTime);
    const qint64 count = last - first;
    if (count <= qMax(2, maxPoints)) {
        for (auto it = first; it != last; ++it) {
            if (it->volts == Gap)
                addGap(it->ms);
            else
                out.append({it->ms, it->volts / 100.0, it->amps / 100.0, false});
        }
        return out;
    }

    // More polls than the chart has room for: the extremes of each slice.
    const qint64 slices = qMax(1, maxPoints / 2);
    const qint64 span = to - from + 1;
    constexpr qint32 low = std::numeric_limits<qint32>::min();
    constexpr qint32 high = std::numeric_limits<qint32>::max();
    qint64 slice = -1;
    qint32 vMin = high, vMax = low, aMin = high, aMax = low;
    bool data = false, hadGap = false;
    const auto flush = [&] {
        if (slice < 0)
            return;
        const qint64 mid = from + (2 * slice + 1) * span / (2 * slices);
        addEnvelope(out, mid, vMin, vMax, aMin, aMax, data);
        if (hadGap)
            addGap(mid);
    };
    for (auto it = first; it != last; ++it) {
        const qint64 s = (it->ms - from) * slices / span;
        if (s != slice) {
            flush();
            slice = s;
            vMin = aMin = high;
            vMax = aMax = low;
            data = hadGap = false;
        }
        if (it->volts == Gap) {
            hadGap = true;
            continue;
        }
        data = true;
        vMin = std::min(vMin, it->volts);
        vMax = std::max(vMax, it->volts);
        aMin = std::min(aMin, it->amps);
        aMax = std::max(aMax, it->amps);
    }
    flush();
    return out;
}

qsizetype TrendData::heldBytes() const
{
    qsizetype bytes = sizeof(*this);
    for (const Module &module : m_modules)
        bytes +=
            qsizetype(module.raw.size() * sizeof(Sample) + module.buckets.size() * sizeof(Bucket));
    return bytes;
}
