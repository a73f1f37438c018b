#pragma once

#include "device/FrameLog.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <QWidget>
#include <unordered_map>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

// The log's frames that pass the filter, a row each; rows are decoded only
// when the view asks for them.
class FrameTableModel final : public QAbstractTableModel
{
public:
    explicit FrameTableModel(const FrameLog &log, QObject *parent = nullptr);

    // Picks the shown frames again: unit 0 is every unit.
    void refilter(int unit, bool errorsOnly);
    QStringList shownRow(int row) const;
    std::size_t logIndex(int row) const { return m_shown[std::size_t(row)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const FrameLog &m_log;
    std::vector<std::size_t> m_shown;
    mutable std::unordered_map<std::size_t, QStringList> m_rows;
};

// Every frame the serial line sends and receives while this window is open:
// decoded, filtered by unit and errors, exported as CSV or a hex dump.
// Closed or paused, it watches nothing.
class FrameTraffic final : public QWidget
{
public:
    explicit FrameTraffic(QWidget *parent = nullptr);
    ~FrameTraffic() override;

    FrameLog &log() { return m_log; }
    // Takes in what came since the last look (the window does this on a timer).
    void refresh();
    int shownRows() const { return m_model.rowCount(); }
    QStringList shownRow(int row) const { return m_model.shownRow(row); }
    bool exportCsv(const QString &path) const;
    bool exportHexDump(const QString &path) const;

    QPushButton *cmdPause = nullptr;
    QPushButton *cmdClear = nullptr;
    QComboBox *cboUnit = nullptr;
    QCheckBox *chkErrors = nullptr;
    QPushButton *cmdExportCsv = nullptr;
    QPushButton *cmdExportHex = nullptr;
    QLabel *lblCount = nullptr;
    QTableView *grdFrames = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void watch(bool on);
    void refilter();
    void exportAs(bool csv);

    FrameLog m_log;
    FrameTableModel m_model;
    QTimer m_timer;
    quint64 m_seen = 0;
    // The view keeps to the newest row until the user scrolls up, and again
    // once they scroll back to the bottom; a resize or a reopen changes
    // nothing of that.
    bool m_follow = true;
    bool m_refiltering = false; // the view's own scrolling, not the user's
};
