#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What a plan run found, unit by unit, and the files that record it.
struct PlanCheckResult
{
    QString name;     // as the report shows it: "Module 2 voltage", "No alarm"
    int line = 0;     // the check's line in the plan
    int module = 0;   // 0 for the unit's own checks
    QString quantity; // "voltage", "current", "good", "alarm", "hours"
    QString unit;     // "V", "A" or empty
    std::optional<double> measured;
    std::optional<double> low; // limits, where the check has them
    std::optional<double> high;
    bool passed = false;
    QString message;    // why it failed, or what it read ("Module good", "1,234 hours")
    QDateTime time;     // when it was measured
    double seconds = 0; // since the unit's run started
};

struct PlanUnitResult
{
    int unit = 0;
    QString serialNumber; // empty when the unit was never read
    QDateTime start;
    double seconds = 0; // the unit's whole run
    QList<PlanCheckResult> checks;
    QString stopReason;     // empty when the plan ran to its end
    bool safeState = false; // the finally steps reached the unit
    bool passed() const;    // every check passed and nothing stopped the run
};

struct PlanRunResult
{
    // The exit codes of `zelkctl run`: every unit passed, a check failed,
    // the run was stopped, the plan was refused before anything was sent, a
    // unit or the port failed.
    enum class Outcome { Passed = 0, DeviceError = 2, CheckFailed = 5, Stopped = 6, Refused = 4 };

    QString planName;
    QString planPath;
    QDateTime start;
    QList<PlanUnitResult> units;
    Outcome outcome = Outcome::Passed;
    QString stopReason;
    QList<int> unreached; // units the finally steps could not reach
};

namespace PlanReport {

// JUnit XML: the run a testsuites element, each unit a testsuite named by
// its serial number, each check a testcase with its time; a failed check a
// failure with its measured value and limits.
QByteArray junitXml(const PlanRunResult &run);
// One row per check, with a header row.
QByteArray csv(const PlanRunResult &run);
// One object, indented.
QByteArray json(const PlanRunResult &run);

// Writes BASE.xml, BASE.csv and BASE.json, each through a temporary file
// renamed into place; false with error set when one could not be written.
bool writeFiles(const PlanRunResult &run, const QString &base, QString *error);

} // namespace PlanReport
