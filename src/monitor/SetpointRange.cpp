#include "monitor/SetpointRange.h"

#include "core/NumberText.h"
#include "core/ZelkGlobals.h"
#include "core/clsScalability.h"

#include <cmath>

namespace {
// Set-points are typed with at most a few decimals; anything finer is
// left-over binary noise of the arithmetic.
constexpr double Noise = 1e-9;
} // namespace

SetpointRange SetpointRange::of(const clsScalability &r)
{
    return {r.MinVoltage, r.MaxVoltage, r.VoltageScaleFactor};
}

bool SetpointRange::accepts(double volts) const
{
    return volts >= min - Noise && volts <= max + Noise;
}

std::optional<qint16> SetpointRange::raw(double volts) const
{
    return NumberText::roundToInt16(volts * voltageScaleFactor);
}

QString SetpointRange::limitsText() const
{
    const QString &sep = ZelkGlobals::DecimalSeparator;
    return NumberText::fromDouble(min, sep) + QStringLiteral(" and ") +
           NumberText::fromDouble(max, sep);
}

double SetpointRange::step()
{
    const QString &sep = ZelkGlobals::DecimalSeparator;
    return NumberText::toDouble(QStringLiteral("0") + sep + QStringLiteral("01"), sep)
        .value_or(0.01);
}

double SetpointRange::stepped(double value, int direction)
{
    return std::nearbyint((value + direction * step()) * 1e6) / 1e6;
}
