#pragma once

#include <QString>

// The ratings of one module position, filled from the module type's section
// of scale.ini. Scale factors are divisors: raw / factor = volts or amperes.
class clsScalability
{
public:
    int TypeCode = 0;
    QString Type;
    double MinVoltage = 0;
    double MaxVoltage = 0;
    double MaxCurrent = 0;
    double VoltageScaleFactor = 0;
    double MaxMeasuredVoltage = 0;
    double CurrentScaleFactor = 0;
    double MaxMeasuredCurrent = 0;
    double VAScaleFactor = 0;

    // Fills the record for a type code from scale.ini: texts missing there read
    // "N/A", numbers that are missing or not numbers read 0.
    void fillFromScaleIni(int typeCode);
};

// The scale.ini section of a type code: "TYPE" and the code's decimal text.
QString scaleSectionName(int typeCode);

// Rated voltage range text of a section, "Min - Max" as stored.
QString GetVoltageRange(const QString &section);
// Rated current text of a section, as stored.
QString GetMaxCurrent(const QString &section);
