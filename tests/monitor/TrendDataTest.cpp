// The trend readings over a long run: bounded memory, and what is folded
// still shows every extreme and every gap.
#include "monitor/TrendData.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Hour = 3600 * Second;

TEST(TrendDataTest, ADayOfSecondPollsStaysBoundedAndKeepsExtremesAndGaps)
{
    // Catches readings kept without bound, a spike or a silent poll lost
    // when old readings are folded, and a chart asked for a day getting
    // every poll of it.
    TrendData data;
    const qint64 start = 1'000'000 * Second;
    const qint64 spike = start + 3 * Hour + 17 * Second;
    const qint64 silent = start + 5 * Hour + 42 * Second;
    for (qint64 t = start; t < start + 24 * Hour; t += Second) {
        for (int m = 1; m <= 5; ++m) {
            if (t == silent)
                data.add(m, t, std::nullopt, std::nullopt);
            else
                data.add(m, t, t == spike ? 30.0 : 12.0 + m, 2.5);
        }
    }
    EXPECT_LT(data.heldBytes(), 20 * 1024 * 1024);
    const qint64 end = start + 24 * Hour - Second;
    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        const QList<TrendData::Point> day = data.points(m, start, end);
        EXPECT_LE(day.size(), 1200 + 2 * 24 * 60 / 1 + 10);
        double highest = 0;
        int gaps = 0;
        for (const TrendData::Point &p : day) {
            highest = p.gap ? highest : std::max(highest, p.volts);
            gaps += p.gap ? 1 : 0;
        }
        EXPECT_DOUBLE_EQ(highest, 30.0);
        EXPECT_EQ(gaps, 1);
        // The last ten minutes come poll by poll.
        const QList<TrendData::Point> recent = data.points(m, end - 600 * Second + 1, end);
        ASSERT_EQ(recent.size(), 600);
        EXPECT_EQ(recent.back(), (TrendData::Point{end, 12.0 + m, 2.5, false}));
    }
}

} // namespace
