#pragma once

#include <QString>
#include <unordered_map>

// The ratings a simulated module needs from scale.ini: its range and the
// factors between physical values and device counts.
struct SimTypeRatings
{
    bool known = false; // false: no usable section for the type code
    double minVoltage = 0;
    double maxVoltage = 0;
    double maxCurrent = 0;
    double voltageScale = 0;
    double maxMeasuredVoltage = 0;
    double currentScale = 0;
    double maxMeasuredCurrent = 0;

    // A module of an unknown type still has to answer with some counts.
    double voltageFactor() const { return known ? voltageScale : 100.0; }
    double currentFactor() const { return known ? currentScale : 100.0; }
    // Highest raw value a set-point, threshold or current limit may take.
    int maxSetpointRaw() const;
    int maxVoltageRaw() const;
    int maxCurrentRaw() const;
};

// Ratings by type code, read from scale.ini once per code and kept.
class SimBusRatings
{
public:
    explicit SimBusRatings(const QString &scaleIniPath);

    const SimTypeRatings &ratings(int typeCode);

private:
    QString m_path;
    std::unordered_map<int, SimTypeRatings> m_cache;
};
