#pragma once

#include "configfile/ConfigPlan.h"
#include "core/clsScalability.h"
#include "plans/PlanReport.h"
#include "plans/TestPlan.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <optional>
#include <vector>

// Runs a test plan on units in turn, over the device object
// (ZelkGlobals::Device on ZelkGlobals::ComPort). prepare() reads every unit
// and checks every value the plan would send against the module types'
// ratings (the monitor's SetpointRange), the modules fitted and the apply and
// require files, and refuses the whole plan before anything is written.
// run() then does each unit's steps, records every check, and ends every
// unit it started with the plan's finally steps, however the run ends.
//
// Device calls let events run: a stop request, a timer or a window's click
// may come in the middle of any step. run() is refused while it runs, and
// the runner must outlive it (a window asks requestStop() and waits for
// finished()).
class PlanRunner : public QObject
{
    Q_OBJECT
public:
    // What a dry run shows of one unit: what would be sent, step by step.
    struct UnitPreview
    {
        int unit = 0;
        QString serialNumber;
        QStringList actions;
    };
    struct Preparation
    {
        // Passed when the plan may run; Refused (a value, a module or a file
        // the unit cannot take) or DeviceError (a unit did not answer).
        PlanRunResult::Outcome outcome = PlanRunResult::Outcome::Passed;
        QList<PlanIssue> issues; // by plan line; the reason names the unit
        QList<UnitPreview> units;
        bool ok() const { return outcome == PlanRunResult::Outcome::Passed; }
    };

    explicit PlanRunner(QObject *parent = nullptr);
    ~PlanRunner() override;

    // Reads the units (reads only) and checks the plan against them.
    Preparation prepare(const TestPlan &plan, const QList<int> &units);
    // Runs the plan last prepared on its units; Refused when it was not
    // prepared, or was refused.
    PlanRunResult run();
    // Ends the run at the next step, ramp point or poll slice (within about
    // 100 ms); the finally steps still run. The first reason is kept.
    void requestStop(const QString &reason);
    bool isRunning() const { return m_running; }
    // Device actions of the whole run, with repeats and ramps counted out.
    int totalActions() const;

signals:
    void unitStarted(int unit, const QString &serialNumber);
    void stepStarted(int unit, int line, const QString &text);
    void progress(int done, int total);
    void checkMeasured(int unit, const PlanCheckResult &check);
    void unitFinished(const PlanUnitResult &result);
    void finished(const PlanRunResult &result);

public:
    // One thing done to a unit: a step, or one set-point of a ramp.
    struct Action
    {
        const PlanStep *step = nullptr;
        double volts = 0; // a ramp point's set-point
        int dwellMs = 0;  // a ramp point's wait after it
        bool rampPoint = false;
    };
    // The ramp's set-points: from, from +- step, ..., ending exactly at to.
    static std::vector<double> rampPoints(const PlanStep &ramp);

private:
    enum class Status { Ok, CheckFailed, UnitLost, PortLost, Stop };
    struct UnitInfo
    {
        int unit = 0;
        QString serialNumber;
        QString present; // '1' at m - 1 where module m is fitted
        std::array<clsScalability, 5> ratings;
    };
    struct ConfigSource
    {
        ConfigFileContents contents;
        int section = 0;
        QString shown; // "file [PS1]"
    };
    struct UnitRun;

    void flatten(const std::vector<PlanStep> &steps);
    void checkSteps(const std::vector<PlanStep> &steps, const UnitInfo &info,
                    const UnitState &state, QList<PlanIssue> &issues, bool inFinally);
    std::optional<ConfigSource> configSource(const PlanStep &step, QString *why) const;
    QStringList preview(const std::vector<PlanStep> &steps, int depth) const;

    Status execute(UnitRun &u, const Action &a);
    Status check(UnitRun &u, const PlanStep &step);
    Status record(UnitRun &u, PlanCheckResult c);
    Status setpoint(UnitRun &u, int line, int module, double volts);
    Status output(UnitRun &u, int module, bool on);
    Status global(UnitRun &u, bool on);
    Status config(UnitRun &u, const PlanStep &step);
    Status wait(UnitRun &u, int ms);
    Status poll(UnitRun &u);
    Status watchAlarms(UnitRun &u);
    Status lost(UnitRun &u, const QString &why);
    // Ends the run with this reason and outcome; the first one is kept.
    void stop(const QString &reason, PlanRunResult::Outcome outcome);
    bool runFinally(UnitRun &u);

    TestPlan m_plan;
    QList<int> m_units;
    std::vector<UnitInfo> m_info;
    std::vector<Action> m_actions;
    std::map<const PlanStep *, ConfigSource> m_sources;
    bool m_prepared = false;
    bool m_running = false;
    QString m_stopReason;
    PlanRunResult::Outcome m_stopOutcome = PlanRunResult::Outcome::Passed;
};
