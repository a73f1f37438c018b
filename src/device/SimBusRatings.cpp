#include "device/SimBusRatings.h"

#include "core/IniFile.h"
#include "core/NumberText.h"
#include "core/ScaleIniKeys.h"
#include "core/clsScalability.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int MaxRaw = 32767;

int rawLimit(double value, double factor)
{
    const double raw = std::floor(value * factor + 1e-9);
    return raw > MaxRaw ? MaxRaw : std::max(0, static_cast<int>(raw));
}
} // namespace

int SimTypeRatings::maxSetpointRaw() const
{
    return known ? rawLimit(maxVoltage, voltageScale) : MaxRaw;
}

int SimTypeRatings::maxVoltageRaw() const
{
    return known ? rawLimit(std::max(maxMeasuredVoltage, maxVoltage), voltageScale) : MaxRaw;
}

int SimTypeRatings::maxCurrentRaw() const
{
    return known ? rawLimit(std::max(maxMeasuredCurrent, maxCurrent), currentScale) : MaxRaw;
}

SimBusRatings::SimBusRatings(const QString &scaleIniPath)
    : m_path(scaleIniPath)
{}

const SimTypeRatings &SimBusRatings::ratings(int typeCode)
{
    const auto found = m_cache.find(typeCode);
    if (found != m_cache.end())
        return found->second;

    // scale.ini is shipped with "." as its decimal point, whatever the locale.
    const QString section = scaleSectionName(typeCode);
    const auto number = [&](const QString &key) {
        return NumberText::toDouble(IniFile::readString(m_path, section, key), QStringLiteral("."))
            .value_or(0.0);
    };
    SimTypeRatings r;
    r.minVoltage = number(ScaleIniKeys::MinVoltage);
    r.maxVoltage = number(ScaleIniKeys::MaxVoltage);
    r.maxCurrent = number(ScaleIniKeys::MaxCurrent);
    r.voltageScale = number(ScaleIniKeys::VoltageScaleFactor);
    r.maxMeasuredVoltage = number(ScaleIniKeys::MaxMeasuredVoltage);
    r.currentScale = number(ScaleIniKeys::CurrentScaleFactor);
    r.maxMeasuredCurrent = number(ScaleIniKeys::MaxMeasuredCurrent);
    r.known = r.voltageScale > 0 && r.currentScale > 0 && r.maxVoltage > 0;
    return m_cache.emplace(typeCode, r).first->second;
}
