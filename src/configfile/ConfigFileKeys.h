#pragma once

#include <QString>
#include <QStringList>

// Section and key names of the unit configuration file, in the order written.
namespace ConfigFileKeys {
// Built in one allocation: a save of 32 units names 192 sections, and
// joining the parts one by one cost more than writing the section's keys.
inline QString unitSection(const QString &unit)
{
    QString name;
    name.reserve(unit.size() + 2);
    return name.append(u"PS").append(unit);
}
inline QString moduleSection(const QString &unit, int module)
{
    QString name;
    name.reserve(unit.size() + 10);
    name.append(u"PS").append(unit).append(u"MODULE");
    if (module >= 0 && module <= 9)
        return name.append(QChar(u'0' + module));
    return name.append(QString::number(module));
}

inline const QString PowerSupplyID = QStringLiteral("PowerSupplyID");
inline const QString SerialNumber = QStringLiteral("SerialNumber");
inline const QString MajorVersion = QStringLiteral("MajorVersion");
inline const QString MinorVersion = QStringLiteral("MinorVersion");
inline const QString FanFail = QStringLiteral("FanFail");
inline const QString GlobalDC = QStringLiteral("GlobalDC");
inline const QString OverTemp = QStringLiteral("OverTemp");
inline const QString GlobalOnOff = QStringLiteral("GlobalOnOff");
inline const QString Group = QStringLiteral("Group");
inline const QString Global = QStringLiteral("Global");
inline const QString MODULES = QStringLiteral("MODULES");

inline const QString ModuleCode = QStringLiteral("ModuleCode");
inline const QString DefaultOutputPolarity = QStringLiteral("DefaultOutputPolarity");
inline const QString StartUpState = QStringLiteral("StartUpState");
inline const QString OutputVoltageSetpoint = QStringLiteral("OutputVoltageSetpoint");
inline const QString VoltageHighLimit = QStringLiteral("VoltageHighLimit");
inline const QString VoltageLowLimit = QStringLiteral("VoltageLowLimit");
inline const QString CurrentLimitMode = QStringLiteral("CurrentLimitMode");
inline const QString CurrentLimit = QStringLiteral("CurrentLimit");
inline const QString StartUpDelay = QStringLiteral("StartUpDelay");
inline const QString ActivationTime = QStringLiteral("ActivationTime");
inline const QString ResetTime = QStringLiteral("ResetTime");
inline const QString EnableReset = QStringLiteral("EnableReset");
// Module m's own keys, m = 1..5 (index m - 1).
inline const QString Master[5] = {QStringLiteral("M1Master"), QStringLiteral("M2Master"),
                                  QStringLiteral("M3Master"), QStringLiteral("M4Master"),
                                  QStringLiteral("M5Master")};
inline const QString Slave[5] = {QStringLiteral("M1Slave"), QStringLiteral("M2Slave"),
                                 QStringLiteral("M3Slave"), QStringLiteral("M4Slave"),
                                 QStringLiteral("M5Slave")};
inline const QString Delay[5] = {QStringLiteral("M1Delay"), QStringLiteral("M2Delay"),
                                 QStringLiteral("M3Delay"), QStringLiteral("M4Delay"),
                                 QStringLiteral("M5Delay")};
inline const QString State[5] = {QStringLiteral("M1State"), QStringLiteral("M2State"),
                                 QStringLiteral("M3State"), QStringLiteral("M4State"),
                                 QStringLiteral("M5State")};
inline const QString GroupId = QStringLiteral("GroupId");
inline const QString ProgrammingMode = QStringLiteral("ProgrammingMode");
} // namespace ConfigFileKeys
