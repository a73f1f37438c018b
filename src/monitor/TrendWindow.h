#pragma once

#include "charts/TrendChart.h"
#include "core/ProgramModule.h"
#include "monitor/AlarmEvent.h"
#include "monitor/TrendData.h"

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <array>

class MonitorTrend;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QTreeWidget;

// The monitor's trends: one chart per module of the watched unit with its
// volts (left axis) and amps (right axis) and its module-good limits as
// lines, over the chosen span up to now, the time marked at round times;
// below, the alarm events, newest first. Dragging over a chart zooms all of
// them to that stretch; Reset goes back to the span. Pause holds the picture
// while the readings go on being kept. The charts come from the trend charts
// module; where it cannot be opened, the window says why in their place, and
// the events and the CSV export still work.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TrendWindow(MonitorTrend &trend, QWidget *parent = nullptr,
                         ProgramModule &charts = ProgramModule::trendCharts());

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
    QLabel *lblNoCharts = nullptr; // why there are no charts, when there are none
    QTreeWidget *lstEvents = nullptr;

    // Draws the charts again from the readings (not while paused or hidden).
    void refresh();
    // The chart of module m (1..5), or null when the unit shows no such
    // module or there are no charts. A QChartView.
    QWidget *chartView(int m) const;
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
        TrendChart *chart = nullptr; // made when the module first shows
        QList<TrendData::Point> shown;
    };

    void buildUi();
    void layoutCharts();
    void draw();
    void drawModule(int m);
    void addEvents(const QList<AlarmEvent> &events);
    void onRangeChanged(qint64 from, qint64 to);
    QList<TrendChart::Mark> timeMarks() const;
    bool saveFile(const QString &path, const QByteArray &bytes);
    QString exportName(const QString &suffix) const;

    MonitorTrend &m_trend;
    decltype(zelkTrendChart) *m_makeChart = nullptr;
    QGridLayout *m_grid = nullptr;
    std::array<ModuleChart, 6> m_charts;
    std::array<bool, 6> m_laidOut{};
    qint64 m_from = 0;
    qint64 m_to = 0;
    bool m_zoomed = false;
    bool m_drawing = false; // ranges set by the window, not by a drag
};
