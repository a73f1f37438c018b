#include "BenchReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace BenchReport {

namespace {

double nanosecondsPer(const QString &timeUnit)
{
    if (timeUnit == QLatin1String("us"))
        return 1e3;
    if (timeUnit == QLatin1String("ms"))
        return 1e6;
    if (timeUnit == QLatin1String("s"))
        return 1e9;
    return 1;
}

// Fields of a run entry that are not user counters.
bool isRunField(const QString &key)
{
    static const QStringList fields = {"name",
                                       "family_index",
                                       "per_family_instance_index",
                                       "run_name",
                                       "run_type",
                                       "repetitions",
                                       "repetition_index",
                                       "threads",
                                       "iterations",
                                       "real_time",
                                       "cpu_time",
                                       "time_unit",
                                       "aggregate_name",
                                       "aggregate_unit",
                                       "error_occurred",
                                       "error_message",
                                       "label",
                                       "bytes_per_second",
                                       "items_per_second"};
    return fields.contains(key);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::optional<double> quantity(const Quantity &q, const Results &results, QString *why)
{
    const std::optional<double> value = results.median(q.source, why);
    if (!value || !q.minus)
        return value ? std::optional<double>(*value + q.plus) : std::nullopt;
    const std::optional<double> minus = results.median(*q.minus, why);
    if (!minus)
        return std::nullopt;
    return *value - *minus + q.plus;
}

QString formatValue(double value, Unit unit)
{
    if (unit == Unit::Memory)
        return QString::number(value / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MiB");
    if (unit == Unit::Count) // bytes on a line, calls: as counted
        return QString::number(value, 'f', 0);
    static const struct
    {
        double ns;
        const char *name;
    } scales[] = {{1e9, "s"}, {1e6, "ms"}, {1e3, "µs"}, {1, "ns"}};
    for (const auto &s : scales) {
        if (std::abs(value) >= s.ns || s.ns == 1) {
            const double v = value / s.ns;
            const int decimals = std::abs(v) >= 100 ? 0 : std::abs(v) >= 10 ? 1 : 2;
            return QString::number(v, 'f', decimals) + QLatin1Char(' ') + QString::fromUtf8(s.name);
        }
    }
    return {};
}

QString formatRatio(double ratio)
{
    const int decimals = ratio >= 1000 ? 0 : ratio >= 100 ? 1 : 2;
    return QString::number(ratio, 'f', decimals) + QLatin1Char('x');
}

QString formatTarget(const Figure &f)
{
    switch (f.goal) {
    case Goal::AtMost:
        return QStringLiteral("<= ") + formatRatio(f.target);
    case Goal::AtLeast:
        return QStringLiteral(">= ") + formatRatio(f.target) + QStringLiteral(" below");
    case Goal::None:
        return QStringLiteral("baseline");
    }
    return {};
}

} // namespace

QString baseRunName(const QString &runName)
{
    QStringList parts = runName.split(QLatin1Char('/'));
    static const QStringList options = {"iterations:", "repeats:", "min_time:", "min_warmup_time:"};
    parts.removeIf([](const QString &part) {
        if (part == QLatin1String("manual_time") || part == QLatin1String("real_time"))
            return true;
        return std::any_of(options.begin(), options.end(),
                           [&part](const QString &o) { return part.startsWith(o); });
    });
    return parts.join(QLatin1Char('/'));
}

bool Results::add(const QString &bench, const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull() || !doc.object().value(QLatin1String("benchmarks")).isArray()) {
        *error = bench + QStringLiteral(": not a benchmark result (") + parseError.errorString() +
                 QLatin1Char(')');
        return false;
    }
    for (const QJsonValue &entry : doc.object().value(QLatin1String("benchmarks")).toArray()) {
        const QJsonObject o = entry.toObject();
        // Aggregates (mean, median, ...) are recomputed from the repetitions.
        if (o.value(QLatin1String("run_type")).toString() == QLatin1String("aggregate"))
            continue;
        const QString name = o.contains(QLatin1String("run_name"))
                                 ? o.value(QLatin1String("run_name")).toString()
                                 : o.value(QLatin1String("name")).toString();
        Run &run = m_runs[bench][baseRunName(name)];
        if (o.value(QLatin1String("error_occurred")).toBool()) {
            run.error = o.value(QLatin1String("error_message")).toString();
            continue;
        }
        run.realTimeNs << o.value(QLatin1String("real_time")).toDouble() *
                              nanosecondsPer(o.value(QLatin1String("time_unit")).toString());
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!isRunField(it.key()) && it.value().isDouble())
                run.counters[it.key()] << it.value().toDouble();
        }
    }
    return true;
}

std::optional<double> Results::median(const Source &source, QString *why) const
{
    const QString where = source.bench + QLatin1Char(' ') + source.run;
    const auto bench = m_runs.constFind(source.bench);
    if (bench == m_runs.constEnd()) {
        *why = source.bench + QStringLiteral(" gave no result");
        return std::nullopt;
    }
    const auto run = bench->constFind(source.run);
    if (run == bench->constEnd()) {
        *why = where + QStringLiteral(" did not run");
        return std::nullopt;
    }
    if (!run->error.isEmpty()) {
        *why = where + QStringLiteral(" failed: ") + run->error;
        return std::nullopt;
    }
    if (source.counter.isEmpty())
        return BenchReport::median(run->realTimeNs) * source.scale;
    const auto counter = run->counters.constFind(source.counter);
    if (counter == run->counters.constEnd() || counter->isEmpty()) {
        *why = where + QStringLiteral(" has no counter ") + source.counter;
        return std::nullopt;
    }
    return BenchReport::median(*counter) * source.scale;
}

QList<Row> evaluate(const QList<Figure> &figures, const Results &results)
{
    QList<Row> rows;
    for (const Figure &f : figures) {
        Row row{f, {}, {}, {}, {}, false};
        row.value = quantity(f.value, results, &row.problem);
        if (row.value)
            row.against = quantity(f.against, results, &row.problem);
        if (row.value && row.against) {
            if (*row.value <= 0 || *row.against <= 0) {
                row.problem = QStringLiteral("a measured time is not positive");
            } else {
                row.ratio =
                    f.goal == Goal::AtLeast ? *row.against / *row.value : *row.value / *row.against;
            }
        }
        switch (f.goal) {
        case Goal::AtMost:
            row.met = row.ratio && *row.ratio <= f.target;
            break;
        case Goal::AtLeast:
            row.met = row.ratio && *row.ratio >= f.target;
            break;
        case Goal::None:
            row.met = true;
            break;
        }
        rows << row;
    }
    return rows;
}

bool allMet(const QList<Row> &rows)
{
    return std::all_of(rows.begin(), rows.end(), [](const Row &r) { return r.met; });
}

QString formatTable(const QList<Row> &rows)
{
    const QStringList header = {QStringLiteral("Figure"),  QStringLiteral("Value"),
                                QStringLiteral("Against"), QStringLiteral("Ratio"),
                                QStringLiteral("Target"),  QString()};
    QList<QStringList> lines{header};
    QStringList problems;
    for (const Row &r : rows) {
        QString verdict;
        if (r.figure.goal == Goal::None)
            verdict = r.ratio ? QString() : QStringLiteral("MISSING");
        else
            verdict = r.met     ? QStringLiteral("ok")
                      : r.ratio ? QStringLiteral("MISSED")
                                : QStringLiteral("MISSING");
        QString ratio = r.ratio ? formatRatio(*r.ratio) : QStringLiteral("-");
        if (r.ratio && r.figure.goal == Goal::AtLeast)
            ratio += QStringLiteral(" below");
        lines << QStringList{r.figure.title,
                             r.value ? formatValue(*r.value, r.figure.unit) : QStringLiteral("-"),
                             r.against ? formatValue(*r.against, r.figure.unit)
                                       : QStringLiteral("-"),
                             ratio,
                             formatTarget(r.figure),
                             verdict};
        if (!r.problem.isEmpty())
            problems << r.figure.title + QStringLiteral(": ") + r.problem;
    }
    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList &line : lines) {
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    QString out;
    for (const QStringList &line : lines) {
        QString text;
        for (qsizetype i = 0; i < line.size(); ++i) {
            // Text left, numbers right.
            const bool number = i >= 1 && i <= 3;
            text += (number ? line[i].rightJustified(widths[i]) : line[i].leftJustified(widths[i]));
            text += QStringLiteral("  ");
        }
        out += text.trimmed() + QLatin1Char('\n');
    }
    for (const QString &p : problems)
        out += p + QLatin1Char('\n');
    return out;
}

QList<Figure> projectFigures()
{
    const auto time = [](const char *bench, const char *run) {
        return Quantity{Source{QLatin1String(bench), QLatin1String(run), {}, 1}, {}};
    };
    const auto counter = [](const char *bench, const char *run, const char *name, double scale) {
        return Quantity{
            Source{QLatin1String(bench), QLatin1String(run), QLatin1String(name), scale}, {}};
    };
    const auto less = [](Quantity q, const Quantity &other) {
        q.minus = other.source;
        return q;
    };
    constexpr double ms = 1e6, kib = 1024, us = 1e3;
    // A save and its floor timed in turns in one benchmark: counters in µs.
    const auto inTurns = [&counter](const char *bench, const char *run, const char *name) {
        return counter(bench, run, name, us);
    };
    const char *iniTurns = "BM_BatchSaveAndFloorInTurns";
    const char *unitsTurns = "BM_WriteAllUnitsAndFloorInTurns";
    const char *editorTurns = "BM_EditorSaveAndFloorInTurns";
    const Quantity iniSave = inTurns("ini_bench", iniTurns, "save_us");

    const Quantity editorOnWire = time("editor_bench", "BM_EditorReadFiveModulesWire9600");
    const Quantity editorOffWire = time("editor_bench", "BM_EditorReadFiveModulesWireOff");
    const Quantity pollWall = counter("monitor_bench", "BM_PollOnTheWire", "wall_ms", ms);
    const Quantity pollOffWire = counter("monitor_bench", "BM_PollOnTheWire", "cpu_ms", ms);
    const char *days = "BM_MonitorModeForDays";
    Quantity earlyPlusAllowance = counter("monitor_days_bench", days, "rss_early_kib", kib);
    earlyPlusAllowance.plus = 2 * 1024 * 1024;
    const char *trendDay = "BM_TrendLastTenMinutesAfterADay";
    const char *blockRead = "BM_BlockFullReadWire9600";
    const char *blockPoll = "BM_BlockMonitorPollWire9600";
    const char *startup = "startup_bench";
    const char *startupRun = "BM_StartupLauncherVsMinimalWindow";
    const char *applyRun = "BM_ApplyFiveModulesEverySettingWire9600";
    const char *ctlRun = "BM_ZelkctlReadVsVersionInTurns";
    const char *silentRun = "BM_SerialSilentUnitCycleWire9600";
    const char *planRun = "BM_PlanWindowRunWire9600";
    const char *planStop = "BM_PlanWindowStopInHoldWire9600";

    const char *scrape = "BM_ScrapeFullLine";
    const char *scrapes = "BM_ScrapeMemoryOver100k";
    Quantity scrapeEarlyPlusAllowance = counter("metrics_bench", scrapes, "rss_early_kib", kib);
    scrapeEarlyPlusAllowance.plus = 1024 * 1024;

    return {
        {QStringLiteral("Metrics: CPU time of a scrape of 32 units x 5 modules vs 1 ms"),
         counter("metrics_bench", scrape, "cpu_us", us),
         counter("metrics_bench", scrape, "limit_us", us), Goal::AtMost, 1},
        {QStringLiteral("Metrics: memory after 100,000 scrapes vs after 1,000 plus 1 MiB"),
         counter("metrics_bench", scrapes, "rss_late_kib", kib), scrapeEarlyPlusAllowance,
         Goal::AtMost, 1, Unit::Memory},
        {QStringLiteral("INI: batch save of 3,712 keys vs one write of the file"), iniSave,
         inTurns("ini_bench", iniTurns, "floor_us"), Goal::AtMost, 2},
        {QStringLiteral("INI: the 3,712 writes one by one vs the batch save"),
         time("ini_bench", "BM_OneByOne3712"), iniSave, Goal::None},
        {QStringLiteral("INI: 3,712 reads in a batch vs one parse of the file"),
         time("ini_bench", "BM_BatchReads3712"), time("ini_bench", "BM_ParseOnce"), Goal::AtMost,
         2},
        {QStringLiteral("Status log: poll at record 50,000 vs at record 100"),
         time("monitor_bench", "BM_Poll/50000/0"), time("monitor_bench", "BM_Poll/100/0"),
         Goal::AtMost, 1.5},
        {QStringLiteral("Status log: the same, rewriting the whole file"),
         time("monitor_bench", "BM_Poll/50000/1"), time("monitor_bench", "BM_Poll/100/1"),
         Goal::None},
        {QStringLiteral("Status log: poll at record 50,000, appending vs whole-file rewrite"),
         time("monitor_bench", "BM_Poll/50000/0"), time("monitor_bench", "BM_Poll/50000/1"),
         Goal::AtMost, 1},
        {QStringLiteral("Status log: poll with the log cut by size every 50 records vs uncut"),
         counter("monitor_bench", "BM_PollWithLogCutsInTurns", "rotating_us", us),
         counter("monitor_bench", "BM_PollWithLogCutsInTurns", "plain_us", us), Goal::AtMost, 1.1},
        {QStringLiteral("Monitor: poll of a five-module unit at 9600 baud vs its wire time"),
         pollWall, less(pollWall, pollOffWire), Goal::AtMost, 1.1},
        {QStringLiteral("Editor: reading a five-module unit at 9600 baud vs its wire time"),
         editorOnWire, less(editorOnWire, editorOffWire), Goal::AtMost, 1.1},
        {QStringLiteral("Simulated bus: CPU time of a device call vs its wire time"),
         counter("simbus_bench", "BM_TypicalMix", "median_cpu_ns", 1),
         counter("simbus_bench", "BM_TypicalMix", "median_line_ns", 1), Goal::AtLeast, 100},
        {QStringLiteral("Configuration file: WriteZelkFile of 32 units vs one write of the file"),
         inTurns("zelkdata_bench", unitsTurns, "save_us"),
         inTurns("zelkdata_bench", unitsTurns, "floor_us"), Goal::AtMost, 2},
        {QStringLiteral("Editor: saving 32 units through the window vs one write of the file"),
         inTurns("editor_bench", editorTurns, "save_us"),
         inTurns("editor_bench", editorTurns, "floor_us"), Goal::AtMost, 2},
        // The floor is a window that shows text: any window with a word on it
        // pays for loading a font, and the empty one only sets that apart.
        {QStringLiteral("Start-up: launcher shown vs a minimal Qt window with one line of text"),
         counter(startup, startupRun, "launcher_ms", ms),
         counter(startup, startupRun, "text_window_ms", ms), Goal::AtMost, 1.5},
        {QStringLiteral("Start-up: launcher shown vs an empty minimal Qt window"),
         counter(startup, startupRun, "launcher_ms", ms),
         counter(startup, startupRun, "minimal_ms", ms), Goal::None},
        {QStringLiteral("Start-up: the minimal window with one line of text vs without"),
         counter(startup, startupRun, "text_window_ms", ms),
         counter(startup, startupRun, "minimal_ms", ms), Goal::None},
        {QStringLiteral("Start-up: peak memory vs the minimal Qt window"),
         counter(startup, startupRun, "launcher_peak_kib", kib),
         counter(startup, startupRun, "minimal_peak_kib", kib), Goal::AtMost, 1.5, Unit::Memory},
        {QStringLiteral("Monitor Mode: memory after 100,000 polls vs after 2,000 plus 2 MiB"),
         counter("monitor_days_bench", days, "rss_late_kib", kib), earlyPlusAllowance, Goal::AtMost,
         1, Unit::Memory},
        {QStringLiteral("Monitor Mode: median poll, last 200 of 100,000 vs polls 1,801-2,000"),
         counter("monitor_days_bench", days, "late_poll_us", us),
         counter("monitor_days_bench", days, "early_poll_us", us), Goal::AtMost, 1.1},
        {QStringLiteral("Trends: heap held by a day of 1-s polls of five modules vs 20 MiB"),
         counter("trend_bench", trendDay, "trend_heap_bytes", 1),
         counter("trend_bench", trendDay, "bound_bytes", 1), Goal::AtMost, 1, Unit::Memory},
        {QStringLiteral("Trends: the last 10 minutes drawn after a day of polls vs 50 ms"),
         counter("trend_bench", trendDay, "draw_ms", ms),
         counter("trend_bench", trendDay, "budget_ms", ms), Goal::AtMost, 1},
        {QStringLiteral(
             "Serial line: full read of a five-module unit at 9600 baud vs its wire time"),
         counter("serial_bench", "BM_SerialFullReadWire9600", "wall_ms", ms),
         counter("serial_bench", "BM_SerialFullReadWire9600", "wire_ms", ms), Goal::AtMost, 1.1},
        {QStringLiteral("Serial line: CPU time of the device object per call vs its wire time"),
         counter("serial_bench", "BM_SerialCallCpuWire9600", "cpu_per_call_ns", 1),
         counter("serial_bench", "BM_SerialCallCpuWire9600", "wire_per_call_ns", 1), Goal::AtLeast,
         100},
        {QStringLiteral("Silent unit: slowest cycle of four units, one silent, at 9600 baud vs "
                        "the three answering units' wire time + SilentTimeout"),
         counter("serial_bench", silentRun, "slowest_cycle_ms", ms),
         counter("serial_bench", silentRun, "bound_ms", ms), Goal::AtMost, 1},
        {QStringLiteral(
             "Serial line: bytes of the full read on the line vs the simulated bus's model"),
         counter("serial_bench", "BM_SerialFullReadWire9600", "line_bytes", 1),
         counter("serial_bench", "BM_SerialFullReadWire9600", "simbus_bytes", 1), Goal::None, 0,
         Unit::Count},
        {QStringLiteral("Block reads: full read of a five-module unit at 9600 baud vs its wire "
                        "time"),
         counter("serial_blocks_bench", blockRead, "wall_ms", ms),
         counter("serial_blocks_bench", blockRead, "wire_ms", ms), Goal::AtMost, 1.1},
        {QStringLiteral("Block reads: full read at 9600 baud vs the wire time value by value"),
         counter("serial_blocks_bench", blockRead, "wall_ms", ms),
         counter("serial_blocks_bench", blockRead, "values_wire_ms", ms), Goal::AtMost, 0.25},
        {QStringLiteral("Block reads: Monitor Mode poll at 9600 baud vs the poll value by value"),
         counter("serial_blocks_bench", blockPoll, "wall_ms", ms),
         counter("serial_blocks_bench", blockPoll, "values_wall_ms", ms), Goal::AtMost, 0.25},
        {QStringLiteral("Status cycle of 32 five-module units at 9600 baud vs its wire time"),
         counter("serial_blocks_bench", "BM_BusStatusCycleOnTheWire/9600", "cycle_ms", ms),
         counter("serial_blocks_bench", "BM_BusStatusCycleOnTheWire/9600", "wire_ms", ms),
         Goal::AtMost, 1.25},
        {QStringLiteral("Status cycle of 32 five-module units at 115200 baud vs its wire time"),
         counter("serial_blocks_bench", "BM_BusStatusCycleOnTheWire/115200", "cycle_ms", ms),
         counter("serial_blocks_bench", "BM_BusStatusCycleOnTheWire/115200", "wire_ms", ms),
         Goal::AtMost, 1.25},
        {QStringLiteral("Late answers: 1,000 reads value by value, a third of the answers "
                        "late, vs those that gave their own value or failed clearly"),
         counter("serial_blocks_bench", "BM_LateAnswersValueByValueOnTheWire", "reads", 1),
         counter("serial_blocks_bench", "BM_LateAnswersValueByValueOnTheWire", "honest_reads", 1),
         Goal::AtMost, 1, Unit::Count},
        {QStringLiteral("Scan: zelkctl scan of IDs 1..32, units 1, 3, 5, 7, at 9600 baud vs "
                        "28 short questions + the wire time of the found units' reads"),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/9600", "scan_ms", ms),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/9600", "scan_floor_ms", ms),
         Goal::AtMost, 1.25},
        {QStringLiteral("Scan: the same at 115200 baud"),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/115200", "scan_ms", ms),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/115200", "scan_floor_ms", ms),
         Goal::AtMost, 1.25},
        {QStringLiteral("Scan: zelkctl monitor --all's first poll at 9600 baud vs the scan's "
                        "floor + one status cycle's wire time"),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/9600", "first_poll_ms", ms),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/9600", "first_poll_floor_ms", ms),
         Goal::AtMost, 1.25},
        {QStringLiteral("Scan: monitor --all's first poll at 115200 baud, the same"),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/115200", "first_poll_ms", ms),
         counter("serial_blocks_bench", "BM_ScanOfTheBusOnTheWire/115200", "first_poll_floor_ms",
                 ms),
         Goal::AtMost, 1.25},
        {QStringLiteral("Apply: a five-module unit differing in every setting at 9600 baud vs "
                        "its wire time"),
         counter("config_bench", applyRun, "wall_ms", ms),
         counter("config_bench", applyRun, "wire_ms", ms), Goal::AtMost, 1.1},
        {QStringLiteral("zelkctl: read from process start to output vs zelkctl --version"),
         counter("config_bench", ctlRun, "read_ms", ms),
         counter("config_bench", ctlRun, "version_ms", ms), Goal::AtMost, 2},
        {QStringLiteral("Test plans: longest the window waits to answer during a run of unit 1 "
                        "at 9600 baud (read, steps, ramps, holds, finally) vs 100 ms"),
         counter("plan_bench", planRun, "max_gap_ms", ms),
         counter("plan_bench", planRun, "budget_ms", ms), Goal::AtMost, 1},
        {QStringLiteral("Test plans: the same with Stop clicked in a hold, through the finally "
                        "steps"),
         counter("plan_bench", planStop, "max_gap_ms", ms),
         counter("plan_bench", planStop, "budget_ms", ms), Goal::AtMost, 1},
    };
}

} // namespace BenchReport
