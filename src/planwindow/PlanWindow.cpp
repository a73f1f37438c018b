#include "planwindow/PlanWindow.h"

#include "charts/ChartRange.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/ProgramModule.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core_windows/ControlNames.h"
#include "core_windows/ScreenFit.h"
#include "device/SharedLine.h"
#include "plans/PlanReader.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <utility>

namespace {

const QString Title = QStringLiteral("Test Plans");
const QColor FailedRow(255, 210, 210);
enum Column { ColUnit, ColSerial, ColLine, ColCheck, ColMeasured, ColLimits, ColResult, Columns };

QString number(double value, const QString &unit)
{
    QString text = QString::number(value, 'f', unit == QLatin1String("A") ? 3 : 2);
    text.replace(QLatin1Char('.'), ZelkGlobals::DecimalSeparator);
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

QString limitsText(const PlanCheckResult &c)
{
    if (c.low && c.high)
        return number(*c.low, c.unit) + QStringLiteral(" .. ") + number(*c.high, c.unit);
    if (c.low)
        return QStringLiteral(">= ") + number(*c.low, c.unit);
    if (c.high)
        return QStringLiteral("<= ") + number(*c.high, c.unit);
    return {};
}

// Issues as the boxes list them: by line where they have one, the first 20.
QString issueLines(const QList<PlanIssue> &issues)
{
    QStringList lines;
    for (const PlanIssue &issue : issues.mid(0, 20))
        lines << (issue.line > 0 ? QStringLiteral("Line %1: %2").arg(issue.line).arg(issue.reason)
                                 : issue.reason);
    if (issues.size() > 20)
        lines << QStringLiteral("... and %1 more.").arg(issues.size() - 20);
    return lines.join(u'\n');
}

// A plan's name as part of a file name.
QString fileSafe(const QString &name)
{
    QString safe = name;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]+")), QStringLiteral("_"));
    return safe.isEmpty() ? QStringLiteral("plan") : safe.left(60);
}

// The stretch of time the chart shows: every point, at least a second.
std::pair<qint64, qint64> timeSpan(const QList<QList<QPointF>> &a, const QList<QList<QPointF>> &b)
{
    qint64 from = std::numeric_limits<qint64>::max(), to = std::numeric_limits<qint64>::min();
    for (const auto *lines : {&a, &b}) {
        for (const QList<QPointF> &line : *lines) {
            for (const QPointF &p : line) {
                from = std::min(from, qint64(p.x()));
                to = std::max(to, qint64(p.x()));
            }
        }
    }
    if (from > to)
        return {0, 1000};
    return {from, std::max(to, from + 1000)};
}

// The value axis of a set of lines: from 0 (or below) to above the highest.
TrendChart::Range valueRange(const QList<QList<QPointF>> &lines)
{
    double low = 0, high = 0;
    for (const QList<QPointF> &line : lines) {
        for (const QPointF &p : line) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
    }
    const auto [l, h] = ChartRange::padded(low, high);
    return ChartRange::rounded(l, h);
}

} // namespace

PlanWindow::PlanWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmTestPlans"));
    setWindowTitle(Title);
    auto *chartsArea = new QWidget(this);
    buildUi(chartsArea);

    ProgramModule &charts = ProgramModule::trendCharts();
    if (auto *make = charts.entry<decltype(zelkTrendChart)>("zelkTrendChart")) {
        m_chart = make(chartsArea, [](qint64, qint64) {});
        m_chart->setTitle(QStringLiteral("Checked volts and amps"));
        chartsArea->layout()->addWidget(m_chart->widget());
    } else {
        lblNoChart = named(new QLabel(charts.why(), chartsArea), QStringLiteral("lblNoChart"));
        lblNoChart->setWordWrap(true);
        lblNoChart->setAlignment(Qt::AlignCenter);
        chartsArea->layout()->addWidget(lblNoChart);
    }

    connect(&m_runner, &PlanRunner::unitStarted, this, [this](int unit, const QString &serial) {
        m_serial = serial;
        m_lineOf.clear();
        m_marks.append({Seams::clock().currentDateTime().toMSecsSinceEpoch(),
                        QStringLiteral("Unit %1").arg(unit)});
    });
    connect(&m_runner, &PlanRunner::stepStarted, this,
            [this](int unit, int line, const QString &text) {
                tell(QStringLiteral("Unit %1, line %2: %3").arg(unit).arg(line).arg(text));
            });
    connect(&m_runner, &PlanRunner::progress, this, [this](int done, int total) {
        prgRun->setMaximum(std::max(1, total));
        prgRun->setValue(std::min(done, total));
    });
    connect(&m_runner, &PlanRunner::checkMeasured, this, &PlanWindow::showCheck);
    setRunning(false);
    ScreenFit::keepOnScreen(this);
}

PlanWindow::~PlanWindow()
{
    // A run still going when the program ends leaves its units by the
    // finally steps of the step it is in.
    if (m_runner.isRunning())
        m_runner.requestStop(QStringLiteral("the program was closed"));
}

void PlanWindow::buildUi(QWidget *chartsArea)
{
    resize(760, 600);
    auto *top = new QVBoxLayout(this);

    auto *planRow = new QHBoxLayout;
    planRow->addWidget(new QLabel(QStringLiteral("Plan:"), this));
    txtPlan = named(new QLineEdit(this), QStringLiteral("txtPlan"));
    txtPlan->setReadOnly(true);
    planRow->addWidget(txtPlan, 1);
    cmdOpen = named(new QPushButton(QStringLiteral("&Open..."), this), QStringLiteral("cmdOpen"));
    connect(cmdOpen, &QPushButton::clicked, this, [this] { cmdOpen_Click(); });
    planRow->addWidget(cmdOpen);
    top->addLayout(planRow);

    auto *runRow = new QHBoxLayout;
    runRow->addWidget(new QLabel(QStringLiteral("Units:"), this));
    txtUnits = named(new QLineEdit(this), QStringLiteral("txtUnits"));
    txtUnits->setPlaceholderText(QStringLiteral("1, 3, 5-7"));
    txtUnits->setToolTip(QStringLiteral("The units to run, in this order"));
    runRow->addWidget(txtUnits, 1);
    cmdRun = named(new QPushButton(QStringLiteral("&Run"), this), QStringLiteral("cmdRun"));
    connect(cmdRun, &QPushButton::clicked, this, [this] { cmdRun_Click(); });
    cmdStop = named(new QPushButton(QStringLiteral("&Stop"), this), QStringLiteral("cmdStop"));
    cmdStop->setToolTip(
        QStringLiteral("Ends the run; the units are left as the plan's finally says"));
    connect(cmdStop, &QPushButton::clicked, this, [this] {
        m_stopAsked = true;
        m_runner.requestStop(QStringLiteral("the user clicked Stop"));
    });
    cmdClose = named(new QPushButton(QStringLiteral("&Close"), this), QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    for (QPushButton *b : {cmdRun, cmdStop, cmdClose})
        runRow->addWidget(b);
    top->addLayout(runRow);

    prgRun = named(new QProgressBar(this), QStringLiteral("prgRun"));
    prgRun->setValue(0);
    top->addWidget(prgRun);
    lblStatus = named(new QLabel(QStringLiteral("Open a plan, name the units, and Run."), this),
                      QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    top->addWidget(lblStatus);

    auto *split = new QSplitter(Qt::Vertical, this);
    chartsArea->setParent(split);
    chartsArea->setMinimumHeight(180);
    new QVBoxLayout(chartsArea);
    chartsArea->layout()->setContentsMargins(0, 0, 0, 0);
    split->addWidget(chartsArea);
    grdResults = named(new QTableWidget(0, Columns, split), QStringLiteral("grdResults"));
    grdResults->setHorizontalHeaderLabels({QStringLiteral("Unit"), QStringLiteral("Serial"),
                                           QStringLiteral("Line"), QStringLiteral("Check"),
                                           QStringLiteral("Measured"), QStringLiteral("Limits"),
                                           QStringLiteral("Result")});
    grdResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdResults->verticalHeader()->hide();
    grdResults->setWordWrap(false);
    grdResults->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdResults->horizontalHeader()->setSectionResizeMode(ColCheck, QHeaderView::Stretch);
    split->addWidget(grdResults);
    top->addWidget(split, 1);

    lblReports = named(new QLabel(this), QStringLiteral("lblReports"));
    lblReports->setWordWrap(true);
    lblReports->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(lblReports);
}

std::optional<QList<int>> PlanWindow::unitList(const QString &text, QString *why)
{
    QList<int> units;
    const QStringList words =
        text.split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts);
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})(?:-(\\d{1,2}))?$"));
    for (const QString &word : words) {
        const QRegularExpressionMatch m = form.match(word);
        const int from = m.hasMatch() ? m.captured(1).toInt() : 0;
        const int to = m.hasMatch() && m.hasCaptured(2) ? m.captured(2).toInt() : from;
        if (from < 1 || to > 32 || to < from) {
            *why = QStringLiteral("\"%1\" is not a unit ID 1..32 or a range of them such as 5-7.")
                       .arg(word);
            return std::nullopt;
        }
        for (int u = from; u <= to; ++u) {
            if (units.contains(u)) {
                *why = QStringLiteral("Unit %1 is named twice.").arg(u);
                return std::nullopt;
            }
            units.append(u);
        }
    }
    if (units.isEmpty()) {
        *why = QStringLiteral("Name the units to run, as 1, 3 or 5-7.");
        return std::nullopt;
    }
    return units;
}

QString PlanWindow::reportFolder()
{
    return QDir(ZelkGlobals::ApplicationFolder).filePath(QStringLiteral("reports"));
}

bool PlanWindow::openPlan(const QString &path)
{
    const PlanReader::Result read = PlanReader::read(path);
    if (!read.plan) {
        Seams::dialogs().MsgBox(QStringLiteral("%1 cannot be run:\n\n%2")
                                    .arg(QDir::toNativeSeparators(path), issueLines(read.issues)),
                                MsgButtons::OK, MsgIcon::Exclamation, Title);
        return false;
    }
    m_plan = read.plan;
    txtPlan->setText(QDir::toNativeSeparators(m_plan->path));
    tell(QStringLiteral("Plan \"%1\" is ready to run.").arg(m_plan->name));
    return true;
}

void PlanWindow::cmdOpen_Click()
{
    QString folder = m_plan
                         ? QFileInfo(m_plan->path).absolutePath()
                         : QDir(ZelkGlobals::ApplicationFolder).filePath(QStringLiteral("plans"));
    if (!QFileInfo(folder).isDir())
        folder = QDir(ZelkGlobals::ShippedFolder).filePath(QStringLiteral("plans"));
    FileDialogRequest request;
    request.title = QStringLiteral("Open a Test Plan");
    request.directory = folder;
    request.filter = QStringLiteral("Test plans (*.plan);;All files (*)");
    const QString path = Seams::dialogs().GetOpenFileName(request);
    if (!path.isEmpty())
        openPlan(path);
}

void PlanWindow::cmdRun_Click()
{
    if (!m_plan) {
        tell(QStringLiteral("Open a plan first."));
        return;
    }
    QString why;
    const auto units = unitList(txtUnits->text(), &why);
    if (!units) {
        Seams::dialogs().MsgBox(why, MsgButtons::OK, MsgIcon::Exclamation, Title);
        return;
    }
    // Claimed before the first call that lets events run: a second click,
    // a close or an Open must find the window busy.
    setRunning(true);
    m_stopAsked = false;
    grdResults->setRowCount(0);
    m_volts.clear();
    m_amps.clear();
    m_marks.clear();
    drawChart();
    lblReports->clear();
    prgRun->setValue(0);
    // A click while another window's sequence has the line (a Monitor Mode
    // poll letting events run) goes after it, not into it.
    if (SharedLine::instance().busy())
        tell(QStringLiteral("Waiting for the line: another window is talking to a unit..."));
    SharedLine::instance().whenFree(this, [this, units = *units] { runOn(units); });
}

void PlanWindow::runOn(const QList<int> &units)
{
    if (m_stopAsked || m_closeAfterRun) {
        tell(QStringLiteral("Stopped before anything was sent."));
        setRunning(false);
    } else {
        // The units' reads and the run are one piece of work on the line.
        const SharedLine::Holding line;
        tell(QStringLiteral("Reading the units..."));
        const PlanRunner::Preparation prepared = m_runner.prepare(*m_plan, units);
        if (!prepared.ok()) {
            tell(QStringLiteral("The plan was not run: nothing was written to any unit."));
            setRunning(false);
            Seams::dialogs().MsgBox(
                QStringLiteral("The plan was not run: nothing was written to any unit.\n\n%1")
                    .arg(issueLines(prepared.issues)),
                MsgButtons::OK, MsgIcon::Exclamation, Title);
        } else if (m_closeAfterRun) {
            setRunning(false); // closed while the units were read: nothing was written
        } else {
            showRun(m_runner.run());
            setRunning(false);
        }
    }
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        close();
    }
}

void PlanWindow::showCheck(int unit, const PlanCheckResult &check)
{
    const int row = grdResults->rowCount();
    grdResults->insertRow(row);
    const QStringList cells{QString::number(unit),
                            m_serial,
                            QString::number(check.line),
                            check.name,
                            check.measured && !check.unit.isEmpty()
                                ? number(*check.measured, check.unit)
                                : check.message,
                            limitsText(check),
                            check.passed ? QStringLiteral("Pass") : QStringLiteral("FAIL")};
    for (int c = 0; c < Columns; ++c) {
        auto *item = new QTableWidgetItem(cells.at(c));
        if (!check.passed) {
            item->setBackground(FailedRow);
            item->setForeground(Qt::darkRed);
            item->setToolTip(check.message);
        }
        grdResults->setItem(row, c, item);
    }
    grdResults->scrollToBottom();
    const bool volts = check.quantity == QLatin1String("voltage");
    if (check.measured && (volts || check.quantity == QLatin1String("current"))) {
        // A line per module of the unit being run, so modules at other
        // voltages are not joined into one.
        QList<QList<QPointF>> &lines = volts ? m_volts : m_amps;
        auto at = m_lineOf.find({check.module, volts});
        if (at == m_lineOf.end()) {
            at = m_lineOf.insert({check.module, volts}, int(lines.size()));
            lines.append(QList<QPointF>());
        }
        lines[*at].append(QPointF(double(check.time.toMSecsSinceEpoch()), *check.measured));
        drawChart();
    }
}

void PlanWindow::drawChart()
{
    if (!m_chart)
        return;
    m_chart->setLines(true, m_volts);
    m_chart->setLines(false, m_amps);
    m_chart->setRange(true, valueRange(m_volts));
    m_chart->setRange(false, valueRange(m_amps));
    const auto [from, to] = timeSpan(m_volts, m_amps);
    m_chart->setTimeAxis(from, to, m_marks);
}

void PlanWindow::showRun(const PlanRunResult &run)
{
    m_lastRun = run;
    // A unit whose checks all passed but whose run ended early did not fail:
    // it is not finished, and the stop line says why.
    QStringList passed, failed, unfinished;
    for (const PlanUnitResult &u : run.units) {
        const QString name = u.serialNumber.isEmpty()
                                 ? QStringLiteral("unit %1").arg(u.unit)
                                 : QStringLiteral("unit %1 (%2)").arg(u.unit).arg(u.serialNumber);
        const bool checkFailed = std::any_of(u.checks.cbegin(), u.checks.cend(),
                                             [](const PlanCheckResult &c) { return !c.passed; });
        (u.passed() ? passed : checkFailed ? failed : unfinished) << name;
    }
    QStringList lines;
    for (const auto &[title, names] : {std::pair{QStringLiteral("Passed: "), passed},
                                       {QStringLiteral("Failed: "), failed},
                                       {QStringLiteral("Not finished: "), unfinished}}) {
        if (!names.isEmpty())
            lines << title + names.join(QStringLiteral(", "));
    }
    if (!run.stopReason.isEmpty())
        lines << QStringLiteral("Stopped: ") + run.stopReason;
    if (!run.unreached.isEmpty()) {
        QStringList ids;
        for (const int u : run.unreached)
            ids << QString::number(u);
        lines << QStringLiteral("Not left safe (no answer): unit ") +
                     ids.join(QStringLiteral(", "));
    }
    tell(lines.join(u'\n'));

    const QString folder = reportFolder();
    const QString base = QDir(folder).filePath(
        fileSafe(run.planName) + QLatin1Char('-') +
        Seams::clock().currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString error;
    if (!QDir().mkpath(folder))
        error = QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(folder));
    else if (PlanReport::writeFiles(run, base, &error))
        lblReports->setText(
            QStringLiteral("Reports: %1.xml, .csv and .json").arg(QDir::toNativeSeparators(base)));
    if (!error.isEmpty())
        lblReports->setText(QStringLiteral("The reports were not written: ") + error);
}

void PlanWindow::setRunning(bool on)
{
    cmdRun->setEnabled(!on);
    cmdOpen->setEnabled(!on);
    txtUnits->setEnabled(!on);
    cmdStop->setEnabled(on);
}

void PlanWindow::tell(const QString &text)
{
    lblStatus->setText(text);
}

void PlanWindow::closeEvent(QCloseEvent *event)
{
    // The run ends first, with the units left safe; the window closes then.
    if (cmdStop->isEnabled()) {
        m_closeAfterRun = true;
        m_runner.requestStop(QStringLiteral("the user closed the window"));
        tell(QStringLiteral("Stopping: the units are being left as the plan's finally says..."));
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
