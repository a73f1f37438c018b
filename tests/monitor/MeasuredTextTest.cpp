// The monitor's measured volts and amperes as shown.
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "monitor/MonitorSession.h"

#include <gtest/gtest.h>

// Catches a reading on an exact half rounded away from zero instead of to even.
TEST(MeasuredTextTest, ExactHalvesRoundToEven)
{
    TestEnvironment env;
    const struct
    {
        qint16 raw;
        double factor;
        const char *separator, *shown;
    } cases[] = {{10, 80, ".", "0.12"},     // 0.125 A
                 {30, 80, ".", "0.38"},     // 0.375 A
                 {4020, 160, ".", "25.12"}, // 25.125 V
                 {4020, 160, ",", "25,12"}};
    for (const auto &c : cases) {
        ZelkGlobals::DecimalSeparator = c.separator;
        EXPECT_EQ(MonitorSession::measuredText(c.raw, c.factor).toStdString(), c.shown) << c.raw;
    }
}
