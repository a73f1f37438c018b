#pragma once

#include "monitor/AlarmEvent.h"
#include "monitor/TrendData.h"

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class MonitorTrend;
class QCategoryAxis;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineSeries;
class QPushButton;
class QTreeWidget;
class QValueAxis;

// The monitor's trends: one chart per module of the watched unit with its
// volts (left axis) and amps (right axis) and its module-good limits as
// lines, over the chosen span up to now, the time marked at round times;
// below, the alarm events, newest first. Dragging over a chart zooms all of
// them to that stretch; Reset goes back to the span. Pause holds the picture
// while the readings go on being kept.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TrendWindow(MonitorTrend &trend, QWidget *parent = nullptr);

    static QStringList spanChoices();
    static QString defaultSpan();
    static qint64 spanMs(const QString &choice);
    // The time axis of a stretch of `ms`: the step between its marks (a
    // round number of seconds, minutes or hours) and how a mark reads.
    static qint64 tickStepMs(qint64 ms);
    static QString tickFormat(qint64 stepMs, qint64 ms);
    // The marks of from..to: every whole step of local time in it.
    static QList<qint64> tickTimes(qint64 from, qint64 to);
    // The line above an exported picture: "Unit 1, modules 1-5 -
    // 04/12/2026 10:30 - last 10 minutes", or from..to when zoomed.
    static QString pictureCaption(const QString &unit, const QList<int> &modules, qint64 from,
                                  qint64 to, bool zoomed);
    QString pictureCaption() const;
    // The charts as exported: the caption line above them.
    QImage picture() const;

    QLabel *lblUnit = nullptr;
    QComboBox *cboSpan = nullptr;
    QCheckBox *chkPause = nullptr;
    QPushButton *cmdReset = nullptr;
    QPushButton *cmdExportCsv = nullptr;
    QPushButton *cmdExportPng = nullptr;
    QWidget *chartsArea = nullptr;
    QTreeWidget *lstEvents = nullptr;

    // Draws the charts again from the readings (not while paused or hidden).
    void refresh();
    // The chart of module m (1..5), or null when the unit shows no such module.
    QChartView *chartView(int m) const;
    // The stretch shown, in ms since the epoch.
    qint64 shownFrom() const { return m_from; }
    qint64 shownTo() const { return m_to; }
    bool zoomed() const { return m_zoomed; }
    // What module m's chart shows: its points (gaps included) and its lines
    // as drawn, volts and amps, one list per unbroken stretch.
    const QList<TrendData::Point> &shownPoints(int m) const;
    QList<QList<QPointF>> voltsLines(int m) const;
    QList<QList<QPointF>> ampsLines(int m) const;
    // The module-good limit lines of module m (empty where none is set).
    QList<QPointF> limitLine(int m, bool high) const;
    // Shows the stretch from..to as a drag over a chart would.
    void zoomTo(qint64 from, qint64 to);

    // The shown points as CSV: Module,Time,Volts,Amps; a gap has no values.
    QString csvText() const;
    void cmdExportCsv_Click();
    void cmdExportPng_Click();
    void cmdReset_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct ModuleChart
    {
        QChartView *view = nullptr;
        QChart *chart = nullptr;
        QCategoryAxis *time = nullptr;
        QValueAxis *volts = nullptr;
        QValueAxis *amps = nullptr;
        QLineSeries *low = nullptr;
        QLineSeries *high = nullptr;
        std::vector<QLineSeries *> voltsPool, ampsPool;
        int voltsUsed = 0, ampsUsed = 0;
        QList<TrendData::Point> shown;
    };

    void buildUi();
    void layoutCharts();
    std::unique_ptr<ModuleChart> makeChart(int m);
    void draw();
    void drawModule(int m);
    void setLines(ModuleChart &c, bool volts, const QList<QList<QPointF>> &lines);
    void addEvents(const QList<AlarmEvent> &events);
    void onRangeChanged(QCategoryAxis *axis);
    void setTimeAxis(QCategoryAxis *axis);
    bool saveFile(const QString &path, const QByteArray &bytes);
    QString exportName(const QString &suffix) const;

    MonitorTrend &m_trend;
    QGridLayout *m_grid = nullptr;
    std::array<std::unique_ptr<ModuleChart>, 6> m_charts;
    std::array<bool, 6> m_laidOut{};
    qint64 m_from = 0;
    qint64 m_to = 0;
    bool m_zoomed = false;
    bool m_drawing = false; // ranges set by the window, not by a drag
};
