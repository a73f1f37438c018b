#include "monitor/BusOverview.h"

#include "core/ZelkDevice.h"
#include "core/ZelkGlobals.h"
#include "core_windows/ControlNames.h"
#include "core_windows/ScreenFit.h"
#include "device/SerialBus.h"
#include "device/SharedLine.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {
enum Column { IdColumn, SerialColumn, FirmwareColumn, ModulesColumn, AlarmsColumn };

QString unitsAnswer(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 unit answers")
                      : QStringLiteral("%1 units answer").arg(count);
}
} // namespace

BusOverview::BusOverview(std::function<void(int)> readUnit, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_readUnit(std::move(readUnit))
{
    setObjectName(QStringLiteral("frmBusOverview"));
    setWindowTitle(QStringLiteral("Units on the bus"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    auto *bar = new QHBoxLayout;
    cmdScan = named(new QPushButton(QStringLiteral("&Scan"), this), QStringLiteral("cmdScan"));
    cmdScan->setToolTip(QStringLiteral("Ask every unit ID from %1 to %2")
                            .arg(BusScan::FirstId)
                            .arg(BusScan::LastId));
    connect(cmdScan, &QPushButton::clicked, this, [this] { cmdScan_Click(); });
    bar->addWidget(cmdScan);
    cmdCancel =
        named(new QPushButton(QStringLiteral("&Cancel"), this), QStringLiteral("cmdCancel"));
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    bar->addWidget(cmdCancel);
    cmdWatch = named(new QPushButton(QStringLiteral("&Watch"), this), QStringLiteral("cmdWatch"));
    cmdWatch->setCheckable(true);
    cmdWatch->setToolTip(
        QStringLiteral("Ask the units found again and again, and show their alarms as they are"));
    connect(cmdWatch, &QPushButton::clicked, this, [this](bool on) { setWatching(on); });
    bar->addWidget(cmdWatch);
    progressScan = named(new QProgressBar(this), QStringLiteral("progressScan"));
    progressScan->setRange(0, BusScan::LastId - BusScan::FirstId + 1);
    progressScan->setValue(0);
    progressScan->setFormat(QStringLiteral("%v of %m IDs"));
    bar->addWidget(progressScan, 1);
    outer->addLayout(bar);
    lblScan = named(new QLabel(this), QStringLiteral("lblScan"));
    lblScan->setWordWrap(true); // a scan that found none says why it may have missed some
    outer->addWidget(lblScan);

    lstUnits = named(new QTreeWidget(this), QStringLiteral("lstUnits"));
    lstUnits->setRootIsDecorated(false);
    lstUnits->setUniformRowHeights(true);
    lstUnits->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Serial number"),
                               QStringLiteral("Firmware"), QStringLiteral("Modules"),
                               QStringLiteral("Alarms")});
    const int widths[] = {40, 110, 70, 545};
    for (int i = 0; i < 4; ++i)
        lstUnits->setColumnWidth(i, widths[i]);
    lstUnits->setToolTip(QStringLiteral("Double-click a unit to read it in the monitor"));
    connect(lstUnits, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (item && m_readUnit)
            m_readUnit(item->data(IdColumn, Qt::UserRole).toInt());
    });
    outer->addWidget(lstUnits, 1);
    auto *hint = new QLabel(QStringLiteral("Double-click a unit to read it in the monitor."), this);
    outer->addWidget(hint);

    connect(&m_scan, &BusScan::unitFound, this, &BusOverview::addUnit);
    connect(&m_scan, &BusScan::progress, this, &BusOverview::showProgress);
    connect(&m_scan, &BusScan::finished, this, &BusOverview::scanFinished);
    lblScan->setText(QStringLiteral("Press Scan to look for the units on the bus."));
    applyButtons();
    resize(980, 380);
}

void BusOverview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ScreenFit::keepOnScreen(this);
    if (!m_scanned && !m_scan.running())
        cmdScan_Click();
}

void BusOverview::closeEvent(QCloseEvent *event)
{
    setWatching(false);
    m_scan.cancel();
    QWidget::closeEvent(event);
}

void BusOverview::cmdScan_Click()
{
    if (m_scan.running())
        return;
    setWatching(false); // the list it watches is about to change
    m_scanned = true;
    lstUnits->clear();
    progressScan->setValue(0);
    lblScan->setText(
        QStringLiteral("Asking unit %1 of %2...").arg(BusScan::FirstId).arg(BusScan::LastId));
    m_scan.start();
    applyButtons();
}

void BusOverview::cmdCancel_Click()
{
    m_scan.cancel();
}

void BusOverview::applyButtons()
{
    cmdScan->setEnabled(!m_scan.running());
    cmdCancel->setEnabled(m_scan.running());
    cmdWatch->setEnabled(!m_scan.running() && (m_watching || !m_scan.found().isEmpty()));
    cmdWatch->setChecked(m_watching);
}

void BusOverview::setWatching(bool on)
{
    on = on && !m_scan.running() && !m_scan.found().isEmpty();
    // The line told how long the last cycle took: stopped, that is past.
    if (m_watching && !on)
        lblScan->setText(QStringLiteral("Not watching."));
    ++m_watchRun;
    m_watchDue = false;
    m_watching = on;
    m_watchAt = 0;
    if (on)
        scheduleWatch(0);
    applyButtons();
}

void BusOverview::scheduleWatch(int delayMs)
{
    // Each unit in its own line turn, as the scan asks each ID: a poll or
    // another window's read due meanwhile goes between two.
    const quint64 run = m_watchRun;
    m_watchDue = true;
    QTimer::singleShot(delayMs, this, [this, run] {
        if (run != m_watchRun)
            return;
        SharedLine::instance().whenFree(this, [this, run] {
            if (run != m_watchRun)
                return;
            m_watchDue = false;
            watchNext();
        });
    });
}

void BusOverview::watchNext()
{
    const QList<BusScan::Unit> &units = m_scan.found();
    if (!ZelkGlobals::Device || units.isEmpty()) {
        setWatching(false);
        return;
    }
    if (m_watchAt == 0)
        m_cycle.start();
    const quint64 run = m_watchRun;
    const int id = units.at(m_watchAt++).id;
    BusScan::Unit unit;
    QString portError;
    const bool answers = BusScan::probe(*ZelkGlobals::Device, id, unit, &portError);
    // Stopped (or started again) while the unit was asked: that watch goes on
    // without this step, and this one ends here.
    if (run != m_watchRun)
        return;
    if (!portError.isEmpty()) {
        setWatching(false);
        lblScan->setText(QStringLiteral("The port %1 could not be opened (%2): watching stopped.")
                             .arg(ZelkGlobals::ComPort, portError));
        return;
    }
    showLook(id, unit, answers);
    if (m_watchAt < units.size()) {
        scheduleWatch(0);
        return;
    }
    QStringList silent;
    for (const BusScan::Unit &u : units)
        if (SerialBus::unitSilentNow(u.id))
            silent << QString::number(u.id);
    lblScan->setText(
        QStringLiteral("Watching: %1, a cycle of all units in %2 ms.")
            .arg(unitsAnswer(units.size()).replace(QLatin1String("answer"), QLatin1String("found")))
            .arg(m_cycle.elapsed()) +
        (silent.isEmpty() ? QString()
                          : QStringLiteral(" Silent, asked once a cycle: unit%1 %2.")
                                .arg(silent.size() == 1 ? QString() : QStringLiteral("s"),
                                     silent.join(QStringLiteral(", ")))));
    m_watchAt = 0;
    scheduleWatch(int(std::max<qint64>(0, WatchCycleMs - m_cycle.elapsed())));
}

void BusOverview::showLook(int id, const BusScan::Unit &unit, bool answers)
{
    for (int i = 0; i < lstUnits->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lstUnits->topLevelItem(i);
        if (item->data(IdColumn, Qt::UserRole).toInt() != id)
            continue;
        const bool good = answers && unit.alarms.isEmpty();
        // A unit the serial line now asks once, with the short wait.
        const bool silent = !answers && SerialBus::unitSilentNow(id);
        item->setText(AlarmsColumn, silent     ? QStringLiteral("No answer (silent)")
                                    : !answers ? QStringLiteral("No answer")
                                    : good     ? QStringLiteral("None")
                                               : unit.alarms.join(QStringLiteral(", ")));
        item->setToolTip(AlarmsColumn,
                         silent ? QStringLiteral("Silent on the line: asked once a cycle, with no "
                                                 "retry and a short wait, until it answers")
                                : QString());
        item->setForeground(AlarmsColumn,
                            good ? QColor(0x00, 0x80, 0x00) : QColor(0xc0, 0x00, 0x00));
    }
}

void BusOverview::addUnit(const BusScan::Unit &unit)
{
    const QString alarms =
        unit.alarms.isEmpty() ? QStringLiteral("None") : unit.alarms.join(QStringLiteral(", "));
    auto *item = new QTreeWidgetItem({QString::number(unit.id), unit.serial, unit.firmware,
                                      unit.modules.join(QStringLiteral("; ")), alarms});
    item->setData(IdColumn, Qt::UserRole, unit.id);
    item->setTextAlignment(IdColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setForeground(AlarmsColumn, unit.alarms.isEmpty() ? QColor(0x00, 0x80, 0x00)
                                                            : QColor(0xc0, 0x00, 0x00));
    item->setToolTip(ModulesColumn, unit.modules.join(QLatin1Char('\n')));
    lstUnits->addTopLevelItem(item);
}

void BusOverview::showProgress(int idDone)
{
    progressScan->setValue(idDone - BusScan::FirstId + 1);
    if (idDone < BusScan::LastId)
        lblScan->setText(QStringLiteral("Asking unit %1 of %2... %3 so far.")
                             .arg(idDone + 1)
                             .arg(BusScan::LastId)
                             .arg(unitsAnswer(m_scan.found().size())));
}

void BusOverview::scanFinished(bool cancelled)
{
    const qsizetype count = m_scan.found().size();
    if (!m_scan.portError().isEmpty())
        lblScan->setText(
            QStringLiteral("The port %1 could not be opened (%2): the scan stopped at unit %3.")
                .arg(ZelkGlobals::ComPort, m_scan.portError())
                .arg(m_scan.nextId()));
    else if (cancelled)
        lblScan->setText(QStringLiteral("Scan cancelled before unit %1: %2.")
                             .arg(m_scan.nextId())
                             .arg(unitsAnswer(count)));
    else
        lblScan->setText(
            (count == 0 ? QStringLiteral("No unit answers") : unitsAnswer(count)) +
            QStringLiteral(" on IDs %1 to %2.").arg(BusScan::FirstId).arg(BusScan::LastId) +
            (m_scan.slowUnitSuspected() ? ' ' + ZelkDevice::slowUnitHint() : QString()));
    applyButtons();
}
