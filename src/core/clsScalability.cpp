#include "core/clsScalability.h"

#include "core/Ini.h"
#include "core/NumberText.h"
#include "core/ScaleIniKeys.h"
#include "core/ZelkGlobals.h"

QString scaleSectionName(int typeCode)
{
    return QStringLiteral("TYPE") + QString::number(typeCode).trimmed();
}

void clsScalability::fillFromScaleIni(int typeCode)
{
    const QString &path = ZelkGlobals::ScaleIniPath;
    const QString section = scaleSectionName(typeCode);
    TypeCode = typeCode;
    Type = ReadIni(section, ScaleIniKeys::Type, path);

    const auto number = [&](const QString &key) {
        return NumberText::toDouble(ReadIni(section, key, path).trimmed(),
                                    ZelkGlobals::DecimalSeparator)
            .value_or(0.0);
    };
    MinVoltage = number(ScaleIniKeys::MinVoltage);
    MaxVoltage = number(ScaleIniKeys::MaxVoltage);
    MaxCurrent = number(ScaleIniKeys::MaxCurrent);
    VoltageScaleFactor = number(ScaleIniKeys::VoltageScaleFactor);
    MaxMeasuredVoltage = number(ScaleIniKeys::MaxMeasuredVoltage);
    CurrentScaleFactor = number(ScaleIniKeys::CurrentScaleFactor);
    MaxMeasuredCurrent = number(ScaleIniKeys::MaxMeasuredCurrent);
    VAScaleFactor = number(ScaleIniKeys::VAScaleFactor);
}

QString GetVoltageRange(const QString &section)
{
    const QString &path = ZelkGlobals::ScaleIniPath;
    return ReadIni(section, ScaleIniKeys::MinVoltage, path) + QStringLiteral(" - ") +
           ReadIni(section, ScaleIniKeys::MaxVoltage, path);
}

QString GetMaxCurrent(const QString &section)
{
    return ReadIni(section, ScaleIniKeys::MaxCurrent, ZelkGlobals::ScaleIniPath);
}
