#pragma once

#include "charts/TrendChart.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ChartRange {

// Room above the values (and below, when they go under 0), so that a line
// at the edge stays in sight.
inline std::pair<double, double> padded(double low, double high)
{
    const double margin =
        high - low < 1e-9 ? std::max(0.5, std::abs(high) * 0.1) : (high - low) * 0.1;
    return {low < 0 ? low - margin : low, high + margin};
}

// About four steps of 1, 2, 2.5 or 5 times a power of ten, the range
// widened to whole steps: a technician reads 0, 5, 10, 15 at a glance.
inline TrendChart::Range rounded(double low, double high)
{
    const double rough = (high - low) / 4;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10;
    for (const double f : {1.0, 2.0, 2.5, 5.0}) {
        if (f * power >= rough) {
            step = f * power;
            break;
        }
    }
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

} // namespace ChartRange
