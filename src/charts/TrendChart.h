#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <functional>

class QWidget;

// A chart of volts and amps against time: one module's in the trend window,
// the checked values' in the test-plan window. Drawn by the trend charts
// module (trend-charts.so, src/charts/TrendChartView.cpp) with Qt Charts. The
// window decides what it shows: lines, limits, ranges and marks come in as
// they are drawn. The chart belongs to the parent widget it was made for.
class TrendChart
{
public:
    // A value axis from low to high, marked every step.
    struct Range
    {
        double low = 0;
        double high = 1;
        double step = 1;
    };
    // A mark on the time axis.
    struct Mark
    {
        qint64 at = 0; // ms since the epoch
        QString text;
    };
    // The time axis's new stretch after a drag over the chart (a zoom) or a
    // right click (back out), and after every range the window sets.
    using RangeChanged = std::function<void(qint64 from, qint64 to)>;

    virtual QWidget *widget() = 0;
    virtual void setTitle(const QString &title) = 0;
    // The volts (left axis) or amps (right axis), one line per unbroken stretch.
    virtual void setLines(bool volts, const QList<QList<QPointF>> &lines) = 0;
    virtual QList<QList<QPointF>> lines(bool volts) const = 0;
    // The module-good limit lines on the volts axis; empty draws none.
    virtual void setLimits(const QList<QPointF> &low, const QList<QPointF> &high) = 0;
    virtual QList<QPointF> limit(bool high) const = 0;
    virtual void setRange(bool volts, const Range &range) = 0;
    virtual void setTimeAxis(qint64 from, qint64 to, const QList<Mark> &marks) = 0;
    // Forgets the zooms of drags.
    virtual void zoomReset() = 0;

protected:
    ~TrendChart() = default; // deleted as the widget it is
};

// The trend charts module's entry point: a chart in parent that reports its
// time axis's changes to rangeChanged.
extern "C" Q_DECL_EXPORT TrendChart *zelkTrendChart(QWidget *parent,
                                                    const TrendChart::RangeChanged &rangeChanged);
