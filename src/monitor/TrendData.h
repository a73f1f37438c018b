#pragma once

#include <QList>
#include <QtGlobal>
#include <array>
#include <deque>
#include <limits>
#include <optional>

// What the monitor's reads and polls measured of each module (1..5), for the
// trend charts. The last RawSpanMs is kept poll by poll; older readings are
// folded into BucketMs buckets of their lowest and highest values, which is
// all a chart of hours can show; nothing older than KeptSpanMs is kept. So a
// run of days holds a bounded amount whatever the poll rate. A poll that got
// no reading is kept as a gap, so the chart never joins across it.
class TrendData
{
public:
    static constexpr qint64 RawSpanMs = 2 * 3600 * 1000;
    static constexpr qint64 KeptSpanMs = 24 * 3600 * 1000;
    static constexpr qint64 BucketMs = 60 * 1000;
    // Per module, whatever the poll rate: 2 hours of 1-second polls fit.
    static constexpr qsizetype MaxRawSamples = 8192;

    struct Point
    {
        qint64 ms = 0;
        double volts = 0;
        double amps = 0;
        bool gap = false;
        bool operator==(const Point &) const = default;
    };

    // A reading of module m at ms (since the epoch); nothing for either
    // value records a gap.
    void add(int m, qint64 ms, std::optional<double> volts, std::optional<double> amps);
    void clear();

    // The points of module m from `from` to `to` as a chart draws them, at
    // most about maxPoints: a longer stretch gives the lowest and highest
    // value of each part of it. A gap point marks a break in the line.
    QList<Point> points(int m, qint64 from, qint64 to, int maxPoints = 1200) const;
    bool hasData(int m) const;
    // The newest reading of any module, or 0.
    qint64 newestMs() const { return m_newestMs; }
    // Bytes held by the readings, for the memory figure.
    qsizetype heldBytes() const;

private:
    // Hundredths: every reading arrives with two decimals.
    static constexpr qint32 Gap = std::numeric_limits<qint32>::min();
    struct Sample
    {
        qint64 ms;
        qint32 volts;
        qint32 amps;
    };
    struct Bucket
    {
        qint64 startMs;
        qint32 voltsMin, voltsMax, ampsMin, ampsMax;
        qint32 readings;
        qint32 gaps;
    };
    struct Module
    {
        std::deque<Sample> raw;
        std::deque<Bucket> buckets;
    };

    void fold(Module &module, const Sample &sample);
    static void addEnvelope(QList<Point> &out, qint64 ms, qint32 vMin, qint32 vMax, qint32 aMin,
                            qint32 aMax, bool data);

    std::array<Module, 5> m_modules;
    qint64 m_newestMs = 0;
};
