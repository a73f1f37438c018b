// The benchmark command's verdicts: medians over repetitions, run names,
// targets in both directions, and figures that could not be taken.
#include "BenchReport.h"

#include <gtest/gtest.h>

using namespace BenchReport;

namespace {

// Output of one executable, as Google Benchmark 1.7 writes it but with only
// the fields read: three repetitions of a run in microseconds and their
// aggregate, a run with a rate, runs with arguments and options, a counter
// run and a run that failed.
const QByteArray SampleJson = R"({"benchmarks": [
  {"run_name": "BM_Save", "run_type": "iteration", "real_time": 5.0, "time_unit": "us"},
  {"run_name": "BM_Save", "run_type": "iteration", "real_time": 1.0, "time_unit": "us"},
  {"run_name": "BM_Save", "run_type": "iteration", "real_time": 3.0, "time_unit": "us"},
  {"run_name": "BM_Save", "run_type": "aggregate", "real_time": 90.0, "time_unit": "us"},
  {"run_name": "BM_Floor", "run_type": "iteration", "real_time": 1.5, "time_unit": "us",
   "bytes_per_second": 1.0e9},
  {"run_name": "BM_Poll/100/0/iterations:200", "real_time": 2.0, "time_unit": "ms"},
  {"run_name": "BM_Poll/1000/0/iterations:200", "real_time": 9.0, "time_unit": "ms"},
  {"run_name": "BM_Wire/iterations:4/repeats:2/manual_time", "real_time": 600.0,
   "time_unit": "ms", "wall_ms": 600.0, "off_ms": 10.0},
  {"run_name": "BM_Wire/iterations:4/repeats:2/manual_time", "real_time": 620.0,
   "time_unit": "ms", "wall_ms": 620.0, "off_ms": 30.0},
  {"run_name": "BM_Broken", "real_time": 0.0, "time_unit": "ns", "error_occurred": true,
   "error_message": "set-up failed"}
]})";

Quantity time(const char *run)
{
    return {Source{"x_bench", QString::fromLatin1(run), {}, 1}, {}};
}

Quantity counter(const char *run, const char *name, double scale)
{
    return {Source{"x_bench", QString::fromLatin1(run), QString::fromLatin1(name), scale}, {}};
}

class BenchReportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(results.add("x_bench", SampleJson, &error)) << error.toStdString();
    }
    Row row(const Figure &f) { return evaluate({f}, results).front(); }

    Results results;
};

} // namespace

// Catches a mean, the first repetition or the aggregate row taken for the median, a time unit
// ignored, and runs matched by prefix (100 taking 1000's time) or not found once the benchmark
// names its iterations, repetitions or manual time.
TEST_F(BenchReportTest, MedianOfTheRepetitionsOfTheNamedRunInNanoseconds)
{
    EXPECT_EQ(baseRunName("BM_Wire/iterations:4/repeats:2/manual_time"), "BM_Wire");
    EXPECT_EQ(baseRunName("BM_Poll/50000/1/iterations:200"), "BM_Poll/50000/1");
    const std::pair<Quantity, std::optional<double>> cases[] = {
        {time("BM_Save"), 3000.0},
        {time("BM_Poll/100/0"), 2e6},
        {time("BM_Poll/1000/0"), 9e6},
        {counter("BM_Wire", "off_ms", 1), 20.0}, // an even count takes the middle two
        {time("BM_Poll/10/0"), {}},
        {time("BM_Poll"), {}}};
    for (const auto &[quantity, median] : cases) {
        QString why;
        EXPECT_EQ(results.median(quantity.source, &why), median)
            << quantity.source.run.toStdString();
    }
}

// Catches a bound that is not inclusive, a ratio taken upside down, "at least 100x
// below" checked as a plain ratio, which a slow call would pass, the wire time taken
// as the whole time (always 1x) or the difference taken the wrong way round, and an
// allowance added to the whole rather than to the difference.
TEST_F(BenchReportTest, TargetsInBothDirectionsAndOfDifferences)
{
    Quantity wire = counter("BM_Wire", "wall_ms", 1e6); // the time the wire adds: 610 - 20 = 590 ms
    wire.minus = counter("BM_Wire", "off_ms", 1e6).source;
    Quantity allowed = wire;
    allowed.plus = 20e6;
    const struct
    {
        Figure figure;
        double ratio;
        bool met;
    } cases[] = {
        {{"save", time("BM_Save"), time("BM_Floor"), Goal::AtMost, 2}, 2.0, true},
        {{"save", time("BM_Save"), time("BM_Floor"), Goal::AtMost, 1.99}, 2.0, false},
        {{"floor", time("BM_Floor"), time("BM_Save"), Goal::AtMost, 1}, 0.5, true},
        // 1.5 us against 2 ms: about 1,333x below; 2 ms against 9 ms: only 4.5x below.
        {{"call", time("BM_Floor"), time("BM_Poll/100/0"), Goal::AtLeast, 100}, 2e6 / 1500, true},
        {{"call", time("BM_Poll/100/0"), time("BM_Poll/1000/0"), Goal::AtLeast, 100}, 4.5, false},
        {{"wire", counter("BM_Wire", "wall_ms", 1e6), wire, Goal::AtMost, 1.1},
         610.0 / 590.0,
         true},
        {{"allowed", counter("BM_Wire", "wall_ms", 1e6), allowed, Goal::AtMost, 1}, 1.0, true}};
    for (const auto &c : cases) {
        const Row r = row(c.figure);
        SCOPED_TRACE(c.figure.title.toStdString());
        ASSERT_TRUE(r.ratio.has_value());
        EXPECT_NEAR(*r.ratio, c.ratio, 1e-9 * c.ratio);
        EXPECT_EQ(r.met, c.met);
    }
}

// Catches a figure that could not be taken passing the command: a run that
// failed, a missing run, counter or executable; and a file that is not
// benchmark output taken as an empty run.
TEST_F(BenchReportTest, WhatCouldNotBeTakenFailsWithItsReason)
{
    Results other;
    QString error;
    EXPECT_FALSE(other.add("x_bench", "not json", &error));
    EXPECT_TRUE(error.contains("x_bench"));
    EXPECT_FALSE(other.add("x_bench", R"({"context": {}})", &error));

    const QList<Row> rows = evaluate(
        {
            {"failed", time("BM_Broken"), time("BM_Floor"), Goal::AtMost, 2},
            {"missing run", time("BM_Gone"), time("BM_Floor"), Goal::AtMost, 2},
            {"missing counter", counter("BM_Save", "calls", 1), time("BM_Floor"), Goal::AtMost, 2},
            {"missing bench",
             {Source{"y_bench", "BM_Save", {}, 1}, {}},
             time("BM_Floor"),
             Goal::AtMost,
             2},
        },
        results);
    const char *const reasons[] = {"set-up failed", "BM_Gone", "calls", "y_bench"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(rows[i].figure.title.toStdString());
        EXPECT_FALSE(rows[i].met || rows[i].ratio.has_value());
        EXPECT_TRUE(rows[i].problem.contains(QLatin1String(reasons[i])));
    }
    EXPECT_FALSE(allMet(rows));
    const QString table = formatTable(rows);
    EXPECT_EQ(table.count("MISSING"), 4);
    EXPECT_TRUE(table.contains("set-up failed"));
}

// Catches a baseline failing the command, and a miss among passes not
// failing it.
TEST_F(BenchReportTest, OnlyFiguresWithTargetsDecide)
{
    const Figure baseline{"one by one", time("BM_Poll/1000/0"), time("BM_Floor"), Goal::None};
    const Figure pass{"pass", time("BM_Floor"), time("BM_Save"), Goal::AtMost, 1};
    const Figure miss{"miss", time("BM_Save"), time("BM_Floor"), Goal::AtMost, 1.5};
    EXPECT_TRUE(allMet(evaluate({baseline, pass}, results)));
    const QList<Row> rows = evaluate({baseline, pass, miss}, results);
    EXPECT_FALSE(allMet(rows));
    const QStringList lines = formatTable(rows).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith("one by one"));
    EXPECT_FALSE(lines[1].contains("MISS"));
    EXPECT_TRUE(lines[2].endsWith("ok"));
    EXPECT_TRUE(lines[3].contains("2.00x"));
    EXPECT_TRUE(lines[3].endsWith("MISSED"));
}
