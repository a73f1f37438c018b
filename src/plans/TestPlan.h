#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <vector>

// A test plan as read from its file: what to do to each unit of a run, in
// order, what to check, when to stop and what to leave the units in. Values
// are in the units the technician wrote them in, already converted to volts,
// amperes and milliseconds; nothing here has been checked against a module
// type's ratings yet (PlanCheck does that once the units' types are read).
struct PlanStep
{
    enum class Kind {
        Apply,        // put a configuration file's section into the unit
        Require,      // the unit must already match the section
        Setpoint,     // module's set-point to `volts`
        Output,       // module's output on or off
        GlobalOutput, // the unit's global output on or off
        Ramp,         // module's set-point from `from` to `to` by `step`, `dwellMs` each
        Hold,         // wait `durationMs` while polling
        CheckVoltage, // measured within `tolerance` (volts, or percent) of the set-point
        CheckCurrent, // measured within [`low`, `high`] amperes
        CheckGood,    // module good
        CheckNoAlarm, // none of the unit's alarms raised
        CheckHours,   // operating hours readable
        Repeat,       // `body` `count` times
    };
    enum class Tolerance { Volts, Percent };

    Kind kind = Kind::Hold;
    int line = 0;   // in the plan file, 1-based
    int module = 0; // 1..5 where the step is about one module
    bool on = false;
    double volts = 0;
    double from = 0;
    double to = 0;
    double step = 0; // positive; the ramp moves toward `to`
    int dwellMs = 0;
    int durationMs = 0;
    double tolerance = 0;
    Tolerance toleranceKind = Tolerance::Volts;
    double low = 0;
    double high = 0;
    QString file;    // Apply/Require: as written (relative to the plan's folder)
    QString section; // Apply/Require: empty for the file's only section
    int count = 0;   // Repeat
    std::vector<PlanStep> body;
};

// The unit's alarms a plan may stop on or check.
enum class PlanAlarm { OverTemp, FanFail, AcFail, DcGood };

struct TestPlan
{
    QString name;
    QString path; // the file it was read from; Apply/Require files are found beside it
    bool stopOnFail = false;
    QList<PlanAlarm> stopOnAlarms;
    int pollMs = 1000; // how often a hold polls the unit
    std::vector<PlanStep> steps;
    // What every ending leaves the units in; without a finally block the
    // plan ends with every present output and the global output off.
    std::vector<PlanStep> finallySteps;
    bool explicitFinally = false;
};

// One problem of a plan file, by line (0 where it is about the whole file).
struct PlanIssue
{
    int line = 0;
    QString reason;
};
