#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// The figures of one benchmark run set against their targets, read from
// Google Benchmark's JSON output (one file per benchmark executable).
namespace BenchReport {

// One number of one benchmark: its wall time in nanoseconds, or a counter
// times `scale` (to nanoseconds or bytes).
struct Source
{
    QString bench; // executable, e.g. "ini_bench"
    QString run;   // benchmark with its arguments, e.g. "BM_Poll/100/0"
    QString counter;
    double scale = 1;
};

// A source, less another one when set (the time a wire model adds is the
// run with it on less the run with it off), plus a fixed allowance (memory
// may grow by so much).
struct Quantity
{
    Source source;
    std::optional<Source> minus;
    double plus = 0;
};

enum class Goal {
    AtMost,  // value / against <= target
    AtLeast, // against / value >= target: value is that many times below
    None     // a baseline, printed for comparison only
};

enum class Unit { Time, Memory, Count };

struct Figure
{
    QString title;
    Quantity value;
    Quantity against;
    Goal goal = Goal::AtMost;
    double target = 0;
    Unit unit = Unit::Time;
};

// Every run of the executables read so far, by executable and run name.
class Results
{
public:
    // Adds one executable's JSON output; false with the reason when it is
    // not a benchmark result.
    bool add(const QString &bench, const QByteArray &json, QString *error);

    // The median over the repetitions of the run, or nothing with the reason
    // (no such run, the run reported an error, no such counter).
    std::optional<double> median(const Source &source, QString *why) const;

private:
    struct Run
    {
        QList<double> realTimeNs;
        QHash<QString, QList<double>> counters;
        QString error;
    };
    QHash<QString, QHash<QString, Run>> m_runs;
};

// A run name without the options Google Benchmark appends to it
// ("/iterations:3", "/repeats:1", "/manual_time", ...).
QString baseRunName(const QString &runName);

struct Row
{
    Figure figure;
    std::optional<double> value, against, ratio;
    QString problem;  // why the figure could not be taken
    bool met = false; // target met; always true for a baseline
};

QList<Row> evaluate(const QList<Figure> &figures, const Results &results);
bool allMet(const QList<Row> &rows);
QString formatTable(const QList<Row> &rows);

// The project's figures and targets.
QList<Figure> projectFigures();

} // namespace BenchReport
