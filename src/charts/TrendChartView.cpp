// The trend charts module (trend-charts.so): a chart drawn with Qt Charts,
// whose libraries (and OpenGL's, which they bring) load only when a window
// first makes a chart.
#include "charts/TrendChart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <cmath>
#include <vector>

namespace {

const QColor VoltsColor(0x1f, 0x5f, 0xb4);
const QColor AmpsColor(0xe0, 0x6c, 0x00);
const QColor LimitColor(0xc0, 0x20, 0x20);

class TrendChartView final : public QChartView, public TrendChart
{
public:
    TrendChartView(QWidget *parent, const RangeChanged &rangeChanged);

    QWidget *widget() override { return this; }
    void setTitle(const QString &title) override { chart()->setTitle(title); }
    void setLines(bool volts, const QList<QList<QPointF>> &lines) override;
    QList<QList<QPointF>> lines(bool volts) const override;
    void setLimits(const QList<QPointF> &low, const QList<QPointF> &high) override;
    QList<QPointF> limit(bool high) const override { return (high ? m_high : m_low)->points(); }
    void setRange(bool volts, const Range &range) override;
    void setTimeAxis(qint64 from, qint64 to, const QList<Mark> &marks) override;
    void zoomReset() override { chart()->zoomReset(); }

private:
    QValueAxis *valueAxis(const QString &name, const QColor &color, Qt::Alignment side);
    QLineSeries *limitLine();

    QFont m_small;
    QCategoryAxis *m_time = nullptr;
    QValueAxis *m_volts = nullptr;
    QValueAxis *m_amps = nullptr;
    QLineSeries *m_low = nullptr;
    QLineSeries *m_high = nullptr;
    std::vector<QLineSeries *> m_voltsPool, m_ampsPool;
    int m_voltsUsed = 0, m_ampsUsed = 0;
};

TrendChartView::TrendChartView(QWidget *parent, const RangeChanged &rangeChanged)
    : QChartView(new QChart, parent)
{
    QChart *c = chart();
    c->setBackgroundRoundness(0);
    c->setMargins(QMargins(2, 2, 2, 2));
    c->legend()->setAlignment(Qt::AlignTop);
    m_small = c->legend()->font();
    m_small.setPointSizeF(m_small.pointSizeF() * 0.85);
    c->legend()->setFont(m_small);
    QFont title = c->titleFont();
    title.setBold(true);
    c->setTitleFont(title);

    // Marks at the times the window gives, whatever the stretch's ends.
    m_time = new QCategoryAxis;
    m_time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_time->setLabelsFont(m_small);
    c->addAxis(m_time, Qt::AlignBottom);
    m_volts = valueAxis(QStringLiteral("Volts (V)"), VoltsColor, Qt::AlignLeft);
    m_amps = valueAxis(QStringLiteral("Amps (A)"), AmpsColor, Qt::AlignRight);
    m_low = limitLine();
    m_high = limitLine();
    setLines(true, {});
    setLines(false, {});

    setRubberBand(QChartView::HorizontalRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(320, 200);
    connect(m_time, &QValueAxis::rangeChanged, this, [this, rangeChanged] {
        rangeChanged(qint64(std::llround(m_time->min())), qint64(std::llround(m_time->max())));
    });
}

QValueAxis *TrendChartView::valueAxis(const QString &name, const QColor &color, Qt::Alignment side)
{
    auto *axis = new QValueAxis;
    axis->setTitleText(name);
    axis->setTitleBrush(color);
    axis->setLabelsColor(color);
    axis->setLinePenColor(color);
    axis->setLabelsFont(m_small);
    QFont axisTitle = m_small;
    axisTitle.setBold(true);
    axis->setTitleFont(axisTitle);
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setTickCount(5);
    chart()->addAxis(axis, side);
    return axis;
}

QLineSeries *TrendChartView::limitLine()
{
    auto *line = new QLineSeries;
    line->setName(QStringLiteral("Module good limits"));
    line->setPen(QPen(LimitColor, 1.2, Qt::DashLine));
    chart()->addSeries(line);
    line->attachAxis(m_time);
    line->attachAxis(m_volts);
    // One entry in the legend for both, shown once there are limits to draw.
    for (QLegendMarker *marker : chart()->legend()->markers(line))
        marker->setVisible(false);
    return line;
}

void TrendChartView::setLines(bool volts, const QList<QList<QPointF>> &lines)
{
    std::vector<QLineSeries *> &pool = volts ? m_voltsPool : m_ampsPool;
    // The first line of each quantity always exists: it carries the legend.
    while (pool.size() < std::size_t(std::max<qsizetype>(1, lines.size()))) {
        auto *series = new QLineSeries;
        series->setName(volts ? QStringLiteral("Volts") : QStringLiteral("Amps"));
        // The amps go over a wider volts line: where the two meet on the
        // chart, the volts still show on both sides of the amps.
        series->setPen(QPen(volts ? VoltsColor : AmpsColor, volts ? 3.0 : 1.4));
        series->setColor(volts ? VoltsColor : AmpsColor);
        series->setMarkerSize(5);
        chart()->addSeries(series);
        series->attachAxis(m_time);
        series->attachAxis(volts ? m_volts : m_amps);
        if (!pool.empty()) {
            for (QLegendMarker *marker : chart()->legend()->markers(series))
                marker->setVisible(false);
        }
        pool.push_back(series);
    }
    for (std::size_t i = 0; i < pool.size(); ++i) {
        QLineSeries *series = pool[i];
        if (i < std::size_t(lines.size())) {
            const QList<QPointF> &line = lines[qsizetype(i)];
            // A reading between two gaps has no line to draw: its point shows.
            series->setPointsVisible(line.size() == 1);
            series->replace(line);
        } else if (series->count() > 0) {
            series->clear();
        }
    }
    (volts ? m_voltsUsed : m_ampsUsed) = int(lines.size());
}

QList<QList<QPointF>> TrendChartView::lines(bool volts) const
{
    const std::vector<QLineSeries *> &pool = volts ? m_voltsPool : m_ampsPool;
    QList<QList<QPointF>> lines;
    for (int i = 0; i < (volts ? m_voltsUsed : m_ampsUsed); ++i)
        lines << pool[std::size_t(i)]->points();
    return lines;
}

void TrendChartView::setLimits(const QList<QPointF> &low, const QList<QPointF> &high)
{
    m_low->replace(low);
    m_high->replace(high);
    for (QLegendMarker *marker : chart()->legend()->markers(m_low))
        marker->setVisible(!low.isEmpty() || !high.isEmpty());
}

void TrendChartView::setRange(bool volts, const Range &range)
{
    QValueAxis *axis = volts ? m_volts : m_amps;
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(range.step);
    axis->setRange(range.low, range.high);
}

void TrendChartView::setTimeAxis(qint64 from, qint64 to, const QList<Mark> &marks)
{
    for (const QString &label : m_time->categoriesLabels())
        m_time->remove(label);
    m_time->setStartValue(double(from));
    for (const Mark &mark : marks)
        m_time->append(mark.text, double(mark.at));
    m_time->setRange(double(from), double(to));
}

} // namespace

TrendChart *zelkTrendChart(QWidget *parent, const TrendChart::RangeChanged &rangeChanged)
{
    return new TrendChartView(parent, rangeChanged);
}
