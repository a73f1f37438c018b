// The test-plan window on the demo bus: opened from the monitor, a plan
// opened through the file box, run, stopped and closed by clicks.
#include "planwindow/PlanWindow.h"
#include "WindowFixture.h"
#include "core_windows/WindowRegistry.h"
#include "device/SharedLine.h"

#include <QChartView>
#include <QDir>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace {

const QByteArray ShortPlan = "plan Window check\nsetpoint 1 3.3V\noutput 1 on\nglobal on\n"
                             "hold 200ms\ncheck voltage 1 within 0.05V\n"
                             "check current 1 between 0A and 1A\ncheck good 1\n";
// Until a click on Stop or a close ends it.
const QByteArray LongHold = "plan Long hold\noutput 1 on\nglobal on\nhold 10min\ncheck good 1\n";

} // namespace

class PlanWindowTest : public WindowFixture
{
protected:
    // The window as the monitor's Plans button opens it, with a plan opened
    // through the file box and the units typed.
    PlanWindow &opened(const QByteArray &plan, const QString &units)
    {
        QTest::mouseClick(monitor().cmdPlans, Qt::LeftButton);
        auto *w = qobject_cast<PlanWindow *>(WindowRegistry::existing(WindowRegistry::TestPlans));
        EXPECT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        env.writeFile(QStringLiteral("line.plan"), plan);
        env.dialogs.fileAnswers.push_back(env.path(QStringLiteral("line.plan")));
        QTest::mouseClick(w->cmdOpen, Qt::LeftButton);
        w->txtUnits->clear();
        QTest::keyClicks(w->txtUnits, units);
        return *w;
    }
    // Clicks `button` once the run reaches its hold (the status says so).
    void clickDuringHold(PlanWindow &w, QAbstractButton *button)
    {
        auto *watch = new QTimer(&w);
        QObject::connect(watch, &QTimer::timeout, &w, [&w, button, watch] {
            if (w.lblStatus->text().contains(QStringLiteral("hold"))) {
                watch->stop();
                EXPECT_TRUE(button->isEnabled());
                button->click();
            }
        });
        watch->start(5);
    }
    // The global output and module 1's output, as the unit has them.
    std::pair<bool, bool> outputsOn()
    {
        qint16 global = 0;
        StatusArray outputs;
        onBus([&](SimulatedBus &b) {
            b.GetGlobalOutputState(UnitArg(1), global); // 100, and 10 more when on
            b.GetOutputState(UnitArg(1), outputs);
        });
        return {global % 100 >= 10, outputs(1) == 1};
    }
};

// Catches a check missing from the table, a failed one not marked, the
// chart or the reports left out, the buttons not following the run, a Run
// that goes into another window's sequence on the line instead of after it,
// and a Stop while it waits that still sends.
TEST_F(PlanWindowTest, ARunShowsEveryCheckMarksTheFailedOneAndWritesItsReports)
{
    env.clock.autoAdvanceMs = 20;
    PlanWindow &w = opened(ShortPlan, QStringLiteral("1"));
    EXPECT_TRUE(w.txtPlan->text().endsWith(QStringLiteral("line.plan")));
    QTest::mouseClick(w.cmdRun, Qt::LeftButton);

    ASSERT_EQ(w.grdResults->rowCount(), 3) << w.lblStatus->text().toStdString();
    const QStringList results{w.grdResults->item(0, 6)->text(), w.grdResults->item(1, 6)->text(),
                              w.grdResults->item(2, 6)->text()};
    EXPECT_EQ(results, (QStringList{"Pass", "FAIL", "Pass"}));
    EXPECT_NE(w.grdResults->item(1, 3)->background(), w.grdResults->item(0, 3)->background());
    EXPECT_TRUE(w.lblStatus->text().startsWith(QStringLiteral("Failed: unit 1")));
    EXPECT_TRUE(w.prgRun->value() == w.prgRun->maximum() && w.cmdRun->isEnabled() &&
                !w.cmdStop->isEnabled());

    const QStringList reports = QDir(PlanWindow::reportFolder()).entryList(QDir::Files);
    EXPECT_EQ(reports.size(), 3) << reports.join(u' ').toStdString();
    EXPECT_TRUE(w.lblReports->text().contains(QStringLiteral("Window_check-")));
    EXPECT_EQ(w.lastRun().outcome, PlanRunResult::Outcome::CheckFailed);
    ASSERT_EQ(w.lblNoChart, nullptr) << "the charts module is built beside the tests";
    // This chart draws no module good limits, so its legend does not name them.
    QStringList legend;
    for (QLegendMarker *marker : w.findChild<QChartView *>()->chart()->legend()->markers())
        if (marker->isVisible())
            legend << marker->label();
    EXPECT_EQ(legend.join(", ").toStdString(), "Volts, Amps");

    // Another window's sequence on the line: the run waits for it, and a Stop
    // while it waits sends nothing.
    for (const bool stop : {true, false}) {
        SharedLine::instance().hold(); // as a Monitor Mode poll holds it
        QTest::mouseClick(w.cmdRun, Qt::LeftButton);
        EXPECT_TRUE(w.lblStatus->text().startsWith(QStringLiteral("Waiting for the line")) &&
                    !w.cmdRun->isEnabled());
        if (stop)
            QTest::mouseClick(w.cmdStop, Qt::LeftButton);
        SharedLine::instance().release();
        QTRY_VERIFY(w.cmdRun->isEnabled());
        EXPECT_EQ(w.grdResults->rowCount(), stop ? 0 : 3) << stop;
    }
}

// Catches a Stop or a close that is not acted on during a hold, or that
// leaves the unit's output on; a close must wait for the safe state.
TEST_F(PlanWindowTest, StopAndCloseEndAHoldAndLeaveTheOutputsOff)
{
    for (const bool close : {false, true}) {
        PlanWindow &w = opened(LongHold, QStringLiteral("1"));
        clickDuringHold(w, close ? w.cmdClose : w.cmdStop);
        QTest::mouseClick(w.cmdRun, Qt::LeftButton);

        EXPECT_EQ(w.lastRun().outcome, PlanRunResult::Outcome::Stopped) << close;
        EXPECT_EQ(w.isVisible(), !close);
        EXPECT_EQ(outputsOn(), std::make_pair(false, false)) << close;
        // No check failed before the stop: the unit is not finished, not
        // failed, and the bar stays where the run stopped.
        EXPECT_TRUE(w.lblStatus->text().startsWith(QStringLiteral("Not finished: unit 1 (")) &&
                    w.lblStatus->text().contains(QStringLiteral("\nStopped: ")))
            << w.lblStatus->text().toStdString();
        EXPECT_LT(w.prgRun->value(), w.prgRun->maximum()) << close;
    }
}

// Catches a bad unit list or a refused plan that still runs or writes.
TEST_F(PlanWindowTest, ABadUnitListOrARefusedPlanWritesNothing)
{
    PlanWindow &w = opened("setpoint 1 99V\n", QStringLiteral("1"));
    RecordingDevice &calls = record();
    QTest::mouseClick(w.cmdRun, Qt::LeftButton);
    ASSERT_FALSE(env.dialogs.shown.empty());
    EXPECT_TRUE(env.dialogs.shown.back().text.contains(QStringLiteral("Line 1:")))
        << env.dialogs.shown.back().text.toStdString();
    EXPECT_FALSE(calls.methodNames().join(u' ').contains(QStringLiteral("Set")))
        << calls.methodNames().join(u' ').toStdString();

    for (const char *bad : {"", "0", "33", "2-1", "1, 1", "x"}) {
        QString why;
        EXPECT_FALSE(PlanWindow::unitList(QString::fromLatin1(bad), &why)) << bad;
        EXPECT_FALSE(why.isEmpty()) << bad;
    }
    QString why;
    EXPECT_EQ(PlanWindow::unitList(QStringLiteral("3, 1-2 5"), &why), (QList<int>{3, 1, 2, 5}));
}
