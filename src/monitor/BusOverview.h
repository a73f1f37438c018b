#pragma once

#include "monitor/BusScan.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The units that answer on the bus, with their serial number, firmware,
// module types and raised alarms, from a scan of every ID that shows its
// progress and can be cancelled. A double-click reads that unit in the
// monitor. Opened the first time, it scans at once. Watch asks the units the
// scan found again, one per line turn, a cycle at most every second, and
// shows each one's alarms as they are now.
class BusOverview : public QWidget
{
    Q_OBJECT
public:
    // readUnit: what a double-click does with the unit's ID.
    explicit BusOverview(std::function<void(int)> readUnit, QWidget *parent = nullptr);

    QLabel *lblScan = nullptr;
    QProgressBar *progressScan = nullptr;
    QPushButton *cmdScan = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdWatch = nullptr;
    QTreeWidget *lstUnits = nullptr;

    BusScan &scan() { return m_scan; }
    void cmdScan_Click();
    void cmdCancel_Click();
    void setWatching(bool on);
    bool watching() const { return m_watching; }
    // A step of the watch waits for its time or for the line.
    bool watchDue() const { return m_watchDue; }

    static constexpr int WatchCycleMs = 1000;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void addUnit(const BusScan::Unit &unit);
    void showProgress(int idDone);
    void scanFinished(bool cancelled);
    void applyButtons();
    void scheduleWatch(int delayMs);
    void watchNext();
    void showLook(int id, const BusScan::Unit &unit, bool answers);

    BusScan m_scan;
    std::function<void(int)> m_readUnit;
    bool m_scanned = false;
    bool m_watching = false;
    int m_watchAt = 0;      // the found unit asked next
    quint64 m_watchRun = 0; // steps of an earlier watch never act on this one
    bool m_watchDue = false;
    QElapsedTimer m_cycle;
};
