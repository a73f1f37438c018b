#pragma once

#include "charts/TrendChart.h"
#include "plans/PlanReport.h"
#include "plans/PlanRunner.h"
#include "plans/TestPlan.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QPointF>
#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// Test plans from a window: open a plan, name the units, Run (with a
// progress bar, a live chart of the checked volts and amps, and every check
// in the results table as it is measured), Stop; every run's reports are
// written beside the application's files. The runner does the work; the
// window only shows it, and answers while a run goes on.
class PlanWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit PlanWindow(QWidget *parent = nullptr);
    ~PlanWindow() override;

    // Reads a plan file; its problems are told by line, and nothing runs.
    bool openPlan(const QString &path);
    // "1, 3, 5-7" as unit IDs in that order; nothing with why set when the
    // text is not such a list of IDs 1..32, each once.
    static std::optional<QList<int>> unitList(const QString &text, QString *why);
    // The folder every run's reports go to.
    static QString reportFolder();

    bool running() const { return m_runner.isRunning(); }
    const PlanRunResult &lastRun() const { return m_lastRun; }

    QLineEdit *txtPlan = nullptr;
    QPushButton *cmdOpen = nullptr;
    QLineEdit *txtUnits = nullptr;
    QPushButton *cmdRun = nullptr;
    QPushButton *cmdStop = nullptr;
    QPushButton *cmdClose = nullptr;
    QProgressBar *prgRun = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblNoChart = nullptr;
    QTableWidget *grdResults = nullptr;
    QLabel *lblReports = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi(QWidget *chartsArea);
    void cmdOpen_Click();
    void cmdRun_Click();
    // The run itself, once the line is free.
    void runOn(const QList<int> &units);
    void showCheck(int unit, const PlanCheckResult &check);
    void showRun(const PlanRunResult &run);
    void drawChart();
    void setRunning(bool on);
    void tell(const QString &text);

    PlanRunner m_runner;
    std::optional<TestPlan> m_plan;
    PlanRunResult m_lastRun;
    QString m_serial; // of the unit being run
    // The chart's points: checked volts and amps against time (ms since the epoch).
    QList<QList<QPointF>> m_volts; // a line per module and unit
    QList<QList<QPointF>> m_amps;
    QMap<QPair<int, bool>, int> m_lineOf; // (module, volts) of the unit being run
    QList<TrendChart::Mark> m_marks;
    TrendChart *m_chart = nullptr;
    bool m_closeAfterRun = false;
    bool m_stopAsked = false; // Stop clicked since Run
};
