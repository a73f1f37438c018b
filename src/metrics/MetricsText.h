#pragma once

#include "metrics/LiveState.h"

#include <QByteArray>

// The live state as Prometheus reads it: the text format 0.0.4, or
// OpenMetrics 1.0 for a scraper that asks for it. Made from what the last
// polls saw; making it sends nothing on the line.
namespace MetricsText {

enum class Format { Prometheus, OpenMetrics };

// What the line did, beside the units' pictures.
struct LineFigures
{
    quint64 framesGood = 0;
    quint64 framesDamaged = 0;
    quint64 framesTimedOut = 0;
    quint64 framesLate = 0;
};

QByteArray render(const LiveState &state, const LineFigures &line, Format format);
// The process's live state and its serial lines' frames.
QByteArray current(Format format);

// OpenMetrics when the request's Accept header names it, else the text format.
Format formatFor(const QByteArray &accept);
QByteArray contentType(Format format);

} // namespace MetricsText
