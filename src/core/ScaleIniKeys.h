#pragma once

#include <QString>

// Keys of a module type's section in scale.ini.
namespace ScaleIniKeys {
inline const QString Type = QStringLiteral("Type");
inline const QString MinVoltage = QStringLiteral("MinVoltage");
inline const QString MaxVoltage = QStringLiteral("MaxVoltage");
inline const QString MaxCurrent = QStringLiteral("MaxCurrent");
inline const QString VoltageScaleFactor = QStringLiteral("VoltageScaleFactor");
inline const QString MaxMeasuredVoltage = QStringLiteral("MaxMeasuredVoltage");
inline const QString CurrentScaleFactor = QStringLiteral("CurrentScaleFactor");
inline const QString MaxMeasuredCurrent = QStringLiteral("MaxMeasuredCurrent");
inline const QString VAScaleFactor = QStringLiteral("VAScaleFactor");
inline const QString NotPresent = QStringLiteral("Not Present");
} // namespace ScaleIniKeys
