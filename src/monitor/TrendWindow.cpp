#include "monitor/TrendWindow.h"

#include "charts/ChartRange.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core_windows/ControlNames.h"
#include "core_windows/ScreenFit.h"
#include "monitor/MonitorTrend.h"
#include "monitor/StatusLogFormat.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 SpanSecondMs = 1000;
constexpr qint64 SpanMinuteMs = 60 * SpanSecondMs;
constexpr qint64 SpanHourMs = 60 * SpanMinuteMs;
// A stretch longer than this marks its times with the day.
constexpr qint64 LongSpanMs = 3 * SpanHourMs;
// The time axis has at most this many marks, a round step apart.
constexpr qint64 MostTicks = 6;
constexpr qint64 TickSteps[] = {
    100,
    200,
    500,
    SpanSecondMs,
    2 * SpanSecondMs,
    5 * SpanSecondMs,
    10 * SpanSecondMs,
    15 * SpanSecondMs,
    30 * SpanSecondMs,
    SpanMinuteMs,
    2 * SpanMinuteMs,
    5 * SpanMinuteMs,
    10 * SpanMinuteMs,
    15 * SpanMinuteMs,
    20 * SpanMinuteMs,
    30 * SpanMinuteMs,
    SpanHourMs,
    2 * SpanHourMs,
    3 * SpanHourMs,
    4 * SpanHourMs,
    6 * SpanHourMs,
    12 * SpanHourMs,
    24 * SpanHourMs,
};

struct SpanChoice
{
    const char *text;
    qint64 ms;
};
constexpr SpanChoice Spans[] = {
    {"1 min", SpanMinuteMs},       {"5 min", 5 * SpanMinuteMs},  {"10 min", 10 * SpanMinuteMs},
    {"30 min", 30 * SpanMinuteMs}, {"1 h", 60 * SpanMinuteMs},   {"2 h", 120 * SpanMinuteMs},
    {"6 h", 360 * SpanMinuteMs},   {"12 h", 720 * SpanMinuteMs}, {"24 h", 1440 * SpanMinuteMs},
};

QColor severityColor(AlarmEvent::Severity severity)
{
    switch (severity) {
    case AlarmEvent::Severity::Alarm:
        return QColor(0xc0, 0x00, 0x00);
    case AlarmEvent::Severity::Warning:
        return QColor(0xb0, 0x58, 0x00);
    case AlarmEvent::Severity::Cleared:
        return QColor(0x00, 0x80, 0x00);
    case AlarmEvent::Severity::Info:
        break;
    }
    return QColor(0x50, 0x50, 0x50);
}

// The stretches of one quantity between the gaps.
QList<QList<QPointF>> linesOf(const QList<TrendData::Point> &points, bool volts)
{
    QList<QList<QPointF>> lines;
    QList<QPointF> line;
    for (const TrendData::Point &p : points) {
        if (p.gap) {
            if (!line.isEmpty())
                lines.append(std::exchange(line, {}));
            continue;
        }
        line.append(QPointF(double(p.ms), volts ? p.volts : p.amps));
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

// "1-3, 5": the modules shown, consecutive ones as a run.
QString modulesText(const QList<int> &modules)
{
    QStringList parts;
    for (qsizetype i = 0; i < modules.size();) {
        qsizetype last = i;
        while (last + 1 < modules.size() && modules[last + 1] == modules[last] + 1)
            ++last;
        parts << (last > i + 1 ? QStringLiteral("%1-%2").arg(modules[i]).arg(modules[last])
                               : QString::number(modules[i]));
        if (last == i + 1)
            parts << QString::number(modules[last]);
        i = last + 1;
    }
    return parts.join(QStringLiteral(", "));
}

// "10 minutes", "1 hour", "24 hours".
QString spanWords(qint64 ms)
{
    const auto words = [](qint64 count, const char *unit) {
        return QStringLiteral("%1 %2%3")
            .arg(count)
            .arg(QLatin1String(unit))
            .arg(count == 1 ? QString() : QStringLiteral("s"));
    };
    if (ms % SpanHourMs == 0)
        return words(ms / SpanHourMs, "hour");
    if (ms % SpanMinuteMs == 0)
        return words(ms / SpanMinuteMs, "minute");
    return words(ms / SpanSecondMs, "second");
}

QString twoDecimals(double value)
{
    QString text = QString::number(value, 'f', 2);
    return text.replace(QLatin1Char('.'), ZelkGlobals::DecimalSeparator);
}
} // namespace

TrendWindow::TrendWindow(MonitorTrend &trend, QWidget *parent, ProgramModule &charts)
    : QWidget(parent, Qt::Window)
    , m_trend(trend)
    , m_makeChart(charts.entry<decltype(zelkTrendChart)>("zelkTrendChart"))
{
    setObjectName(QStringLiteral("frmTrends"));
    setWindowTitle(QStringLiteral("Trends"));
    buildUi();
    if (!m_makeChart) {
        lblNoCharts = named(new QLabel(charts.why(), chartsArea), QStringLiteral("lblNoCharts"));
        lblNoCharts->setWordWrap(true);
        lblNoCharts->setAlignment(Qt::AlignCenter);
        m_grid->addWidget(lblNoCharts, 0, 0);
    }
    connect(&m_trend, &MonitorTrend::recorded, this, &TrendWindow::refresh);
    connect(&m_trend, &MonitorTrend::eventsAdded, this, &TrendWindow::addEvents);
    addEvents(QList<AlarmEvent>(m_trend.events().begin(), m_trend.events().end()));
}

QStringList TrendWindow::spanChoices()
{
    QStringList choices;
    for (const SpanChoice &s : Spans)
        choices << QString::fromLatin1(s.text);
    return choices;
}

QString TrendWindow::defaultSpan()
{
    return QStringLiteral("10 min");
}

qint64 TrendWindow::spanMs(const QString &choice)
{
    for (const SpanChoice &s : Spans) {
        if (choice == QLatin1String(s.text))
            return s.ms;
    }
    return 10 * SpanMinuteMs;
}

qint64 TrendWindow::tickStepMs(qint64 ms)
{
    for (const qint64 step : TickSteps) {
        if (ms <= MostTicks * step)
            return step;
    }
    return std::end(TickSteps)[-1];
}

QString TrendWindow::tickFormat(qint64 stepMs, qint64 ms)
{
    if (stepMs < SpanSecondMs)
        return QStringLiteral("HH:mm:ss.zzz");
    if (stepMs < SpanMinuteMs)
        return QStringLiteral("HH:mm:ss");
    return ms > LongSpanMs ? QStringLiteral("dd/MM HH:mm") : QStringLiteral("HH:mm");
}

QList<qint64> TrendWindow::tickTimes(qint64 from, qint64 to)
{
    // Counted from the local midnight before the stretch, so that a mark
    // reads a whole step on the clock (10:20, 10:30), not on the epoch's.
    const qint64 step = tickStepMs(to - from);
    const QDate day = QDateTime::fromMSecsSinceEpoch(from).date();
    const qint64 midnight = QDateTime(day, QTime(0, 0)).toMSecsSinceEpoch();
    QList<qint64> ticks;
    for (qint64 at = midnight + (from - midnight + step - 1) / step * step; at <= to; at += step)
        ticks << at;
    return ticks;
}

QString TrendWindow::pictureCaption(const QString &unit, const QList<int> &modules, qint64 from,
                                    qint64 to, bool zoomed)
{
    QString what = unit.isEmpty() ? QStringLiteral("No unit read") : QStringLiteral("Unit ") + unit;
    if (!modules.isEmpty())
        what += (modules.size() == 1 ? QStringLiteral(", module ") : QStringLiteral(", modules ")) +
                modulesText(modules);
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(from);
    const QDateTime end = QDateTime::fromMSecsSinceEpoch(to);
    if (!zoomed)
        return what + QStringLiteral(" - ") + end.toString(QStringLiteral("dd/MM/yyyy HH:mm")) +
               QStringLiteral(" - last ") + spanWords(to - from);
    const QString day = QStringLiteral("dd/MM/yyyy ");
    const QString time = QStringLiteral("HH:mm:ss");
    return what + QStringLiteral(" - ") + start.toString(day + time) + QStringLiteral(" to ") +
           end.toString(start.date() == end.date() ? time : day + time);
}

QString TrendWindow::pictureCaption() const
{
    QList<int> modules;
    for (int m = 1; m <= 5; ++m) {
        if (m_laidOut[std::size_t(m)])
            modules << m;
    }
    return pictureCaption(m_trend.unitId(), modules, m_from, m_to, m_zoomed);
}

QImage TrendWindow::picture() const
{
    // Saved, the picture leaves the window: it says itself what it shows.
    const QPixmap charts = chartsArea->grab();
    const qreal ratio = charts.devicePixelRatio();
    QFont font = this->font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int band = metrics.height() + 10;
    const int width = qRound(charts.width() / ratio);
    QImage image(charts.width(), charts.height() + qRound(band * ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(8, 0, width - 16, band), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(pictureCaption(), Qt::ElideRight, width - 16));
    painter.drawPixmap(0, band, charts);
    return image;
}

void TrendWindow::buildUi()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    auto *bar = new QHBoxLayout;
    lblUnit = named(new QLabel(this), QStringLiteral("lblUnit"));
    QFont bold = lblUnit->font();
    bold.setBold(true);
    lblUnit->setFont(bold);
    bar->addWidget(lblUnit);
    bar->addStretch(1);
    bar->addWidget(new QLabel(QStringLiteral("Show the last"), this));
    cboSpan = named(new QComboBox(this), QStringLiteral("cboSpan"));
    cboSpan->addItems(spanChoices());
    cboSpan->setCurrentText(defaultSpan());
    connect(cboSpan, &QComboBox::currentTextChanged, this, [this] { cmdReset_Click(); });
    bar->addWidget(cboSpan);
    chkPause = named(new QCheckBox(QStringLiteral("&Pause"), this), QStringLiteral("chkPause"));
    chkPause->setToolTip(QStringLiteral("Hold the charts; the readings go on being kept"));
    connect(chkPause, &QCheckBox::toggled, this, [this](bool paused) {
        if (!paused)
            refresh();
    });
    bar->addWidget(chkPause);
    cmdReset = named(new QPushButton(QStringLiteral("&Reset"), this), QStringLiteral("cmdReset"));
    cmdReset->setToolTip(QStringLiteral("Back to the chosen span after a zoom (drag over a chart "
                                        "to zoom)"));
    connect(cmdReset, &QPushButton::clicked, this, [this] { cmdReset_Click(); });
    bar->addWidget(cmdReset);
    cmdExportCsv = named(new QPushButton(QStringLiteral("Export &CSV..."), this),
                         QStringLiteral("cmdExportCsv"));
    connect(cmdExportCsv, &QPushButton::clicked, this, [this] { cmdExportCsv_Click(); });
    bar->addWidget(cmdExportCsv);
    cmdExportPng = named(new QPushButton(QStringLiteral("Export P&NG..."), this),
                         QStringLiteral("cmdExportPng"));
    connect(cmdExportPng, &QPushButton::clicked, this, [this] { cmdExportPng_Click(); });
    bar->addWidget(cmdExportPng);
    outer->addLayout(bar);

    auto *split = new QSplitter(Qt::Vertical, this);
    chartsArea = named(new QWidget(split), QStringLiteral("chartsArea"));
    m_grid = new QGridLayout(chartsArea);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setSpacing(4);
    auto *events = new QGroupBox(QStringLiteral("Alarm events (newest first)"), split);
    auto *inside = new QVBoxLayout(events);
    inside->setContentsMargins(4, 2, 4, 4);
    lstEvents = named(new QTreeWidget(events), QStringLiteral("lstEvents"));
    lstEvents->setRootIsDecorated(false);
    lstEvents->setUniformRowHeights(true);
    lstEvents->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Unit"),
                                QStringLiteral("Module"), QStringLiteral("Event"),
                                QStringLiteral("State"), QStringLiteral("Previous")});
    const int widths[] = {140, 40, 55, 150, 190};
    for (int i = 0; i < 5; ++i)
        lstEvents->setColumnWidth(i, widths[i]);
    inside->addWidget(lstEvents);
    split->addWidget(chartsArea);
    split->addWidget(events);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    outer->addWidget(split, 1);
    resize(1040, 820);
}

void TrendWindow::layoutCharts()
{
    std::array<bool, 6> wanted{};
    int count = 0;
    for (int m = 1; m <= 5; ++m) {
        wanted[std::size_t(m)] = m_trend.module(m).present || m_trend.data().hasData(m);
        count += wanted[std::size_t(m)] ? 1 : 0;
    }
    if (wanted == m_laidOut)
        return;
    m_laidOut = wanted;
    if (!m_makeChart)
        return;
    for (const ModuleChart &c : m_charts) {
        if (c.chart) {
            m_grid->removeWidget(c.chart->widget());
            c.chart->widget()->hide();
        }
    }
    // Two columns from three modules on, so that five still have room.
    const int columns = count >= 3 ? 2 : 1;
    int at = 0;
    for (int m = 1; m <= 5; ++m) {
        if (!wanted[std::size_t(m)])
            continue;
        TrendChart *&chart = m_charts[std::size_t(m)].chart;
        if (!chart) {
            chart = m_makeChart(chartsArea,
                                [this](qint64 from, qint64 to) { onRangeChanged(from, to); });
            named(chart->widget(), QStringLiteral("chtModule"), m);
        }
        m_grid->addWidget(chart->widget(), at / columns, at % columns);
        chart->widget()->show();
        ++at;
    }
}

void TrendWindow::refresh()
{
    if (!isVisible() || chkPause->isChecked())
        return;
    draw();
}

void TrendWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ScreenFit::keepOnScreen(this);
    draw();
}

void TrendWindow::draw()
{
    m_drawing = true;
    if (!m_zoomed) {
        m_to = m_trend.data().newestMs();
        if (m_to == 0)
            m_to = Seams::clock().currentDateTime().toMSecsSinceEpoch();
        m_from = m_to - spanMs(cboSpan->currentText());
    }
    const QString unit = m_trend.unitId();
    lblUnit->setText(unit.isEmpty() ? QStringLiteral("No unit read yet")
                                    : QStringLiteral("Unit ") + unit +
                                          (m_zoomed ? QStringLiteral("  (zoomed: Reset to go back)")
                                                    : QString()));
    layoutCharts();
    for (int m = 1; m <= 5; ++m) {
        if (m_laidOut[std::size_t(m)])
            drawModule(m);
    }
    m_drawing = false;
}

void TrendWindow::drawModule(int m)
{
    ModuleChart &c = m_charts[std::size_t(m)];
    const MonitorTrend::ModuleInfo &info = m_trend.module(m);
    c.shown = m_trend.data().points(m, m_from, m_to);
    if (!c.chart)
        return;
    c.chart->setLines(true, linesOf(c.shown, true));
    c.chart->setLines(false, linesOf(c.shown, false));

    double vLow = INFINITY, vHigh = -INFINITY, aHigh = 0;
    for (const TrendData::Point &p : c.shown) {
        if (p.gap)
            continue;
        vLow = std::min(vLow, p.volts);
        vHigh = std::max(vHigh, p.volts);
        aHigh = std::max(aHigh, p.amps);
    }
    // No window set (both limits 0) accepts every voltage: nothing to draw.
    const bool limits = info.low && info.high && (*info.low != 0.0 || *info.high != 0.0);
    if (limits) {
        c.chart->setLimits(
            {QPointF(double(m_from), *info.low), QPointF(double(m_to), *info.low)},
            {QPointF(double(m_from), *info.high), QPointF(double(m_to), *info.high)});
        vLow = std::min(vLow, *info.low);
        vHigh = std::max(vHigh, *info.high);
    } else {
        c.chart->setLimits({}, {});
    }
    if (!std::isfinite(vLow))
        vLow = vHigh = 0;
    const auto [low, high] = ChartRange::padded(std::min(0.0, vLow), vHigh);
    c.chart->setRange(true, ChartRange::rounded(low, high));
    c.chart->setRange(false, ChartRange::rounded(0, aHigh > 0 ? aHigh * 1.15 : 1));
    c.chart->setTimeAxis(m_from, m_to, timeMarks());
    c.chart->setTitle(info.type.isEmpty() || info.type == QLatin1String("N/A")
                          ? QStringLiteral("Module %1").arg(m)
                          : QStringLiteral("Module %1   %2").arg(m).arg(info.type));
}

QList<TrendChart::Mark> TrendWindow::timeMarks() const
{
    const qint64 span = m_to - m_from;
    const QString format = tickFormat(tickStepMs(span), span);
    QList<TrendChart::Mark> marks;
    for (const qint64 at : tickTimes(m_from, m_to)) {
        // A mark on the very start would stand under the volts axis.
        if (at > m_from)
            marks.append({at, QDateTime::fromMSecsSinceEpoch(at).toString(format)});
    }
    return marks;
}

void TrendWindow::onRangeChanged(qint64 from, qint64 to)
{
    if (m_drawing)
        return;
    // A drag over a chart (or a right click, which zooms out): every chart
    // follows it, drawn afresh for the stretch.
    QMetaObject::invokeMethod(
        this, [this, from, to] { zoomTo(from, to); }, Qt::QueuedConnection);
}

void TrendWindow::zoomTo(qint64 from, qint64 to)
{
    if (to <= from)
        return;
    m_zoomed = true;
    m_from = from;
    m_to = to;
    draw();
}

void TrendWindow::cmdReset_Click()
{
    m_zoomed = false;
    m_drawing = true;
    for (const ModuleChart &c : m_charts) {
        if (c.chart)
            c.chart->zoomReset();
    }
    m_drawing = false;
    if (isVisible())
        draw();
}

QWidget *TrendWindow::chartView(int m) const
{
    if (m < 1 || m > 5 || !m_laidOut[std::size_t(m)] || !m_charts[std::size_t(m)].chart)
        return nullptr;
    return m_charts[std::size_t(m)].chart->widget();
}

const QList<TrendData::Point> &TrendWindow::shownPoints(int m) const
{
    static const QList<TrendData::Point> none;
    return m >= 1 && m <= 5 && m_laidOut[std::size_t(m)] ? m_charts[std::size_t(m)].shown : none;
}

QList<QList<QPointF>> TrendWindow::voltsLines(int m) const
{
    return chartView(m) ? m_charts[std::size_t(m)].chart->lines(true) : QList<QList<QPointF>>();
}

QList<QList<QPointF>> TrendWindow::ampsLines(int m) const
{
    return chartView(m) ? m_charts[std::size_t(m)].chart->lines(false) : QList<QList<QPointF>>();
}

QList<QPointF> TrendWindow::limitLine(int m, bool high) const
{
    return chartView(m) ? m_charts[std::size_t(m)].chart->limit(high) : QList<QPointF>();
}

void TrendWindow::addEvents(const QList<AlarmEvent> &events)
{
    for (const AlarmEvent &e : events) {
        auto *item = new QTreeWidgetItem(
            {e.stamp.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), e.unitId,
             e.module > 0 ? QString::number(e.module) : QString(), e.event, e.state, e.previous});
        const QColor color = severityColor(e.severity);
        for (int column = 0; column < item->columnCount(); ++column)
            item->setForeground(column, color);
        item->setToolTip(3, AlarmEvent::severityText(e.severity));
        lstEvents->insertTopLevelItem(0, item);
    }
    while (lstEvents->topLevelItemCount() > MonitorTrend::ShownEvents)
        delete lstEvents->takeTopLevelItem(lstEvents->topLevelItemCount() - 1);
}

QString TrendWindow::csvText() const
{
    QString text = QStringLiteral("Module,Time,Volts,Amps");
    for (int m = 1; m <= 5; ++m) {
        for (const TrendData::Point &p : shownPoints(m)) {
            const QString fields[] = {QString::number(m),
                                      QDateTime::fromMSecsSinceEpoch(p.ms).toString(
                                          QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                                      p.gap ? QString() : twoDecimals(p.volts),
                                      p.gap ? QString() : twoDecimals(p.amps)};
            text += QStringLiteral("\r\n");
            for (const QString &field : fields) {
                if (&field != fields)
                    text += QLatin1Char(',');
                text += StatusLogFormat::quoted(field);
            }
        }
    }
    return text + QStringLiteral("\r\n");
}

QString TrendWindow::exportName(const QString &suffix) const
{
    const QString unit = m_trend.unitId().isEmpty() ? QString() : m_trend.unitId();
    return QStringLiteral("Unit%1-trend.%2").arg(unit, suffix);
}

bool TrendWindow::saveFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    Seams::dialogs().MsgBox(QStringLiteral("The export could not be written to ") + path +
                                QStringLiteral(": ") + file.errorString(),
                            MsgButtons::OK, MsgIcon::Exclamation, ZelkGlobals::AppTitle);
    return false;
}

void TrendWindow::cmdExportCsv_Click()
{
    const QString path = Seams::dialogs().GetSaveFileName(
        {QStringLiteral("Export the shown readings"), ZelkGlobals::ApplicationFolder,
         exportName(QStringLiteral("csv")), QStringLiteral("CSV files (*.csv)"),
         QStringLiteral("csv")});
    if (!path.isEmpty())
        saveFile(path, csvText().toUtf8());
}

void TrendWindow::cmdExportPng_Click()
{
    const QString path = Seams::dialogs().GetSaveFileName(
        {QStringLiteral("Export the charts as a picture"), ZelkGlobals::ApplicationFolder,
         exportName(QStringLiteral("png")), QStringLiteral("PNG pictures (*.png)"),
         QStringLiteral("png")});
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture().save(&buffer, "PNG");
    saveFile(path, bytes);
}
