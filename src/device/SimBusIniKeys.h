#pragma once

#include <QString>

// Names in simbus.ini, the simulated bus's own file in the application folder.
// Each supply has a section [Supply<n>] (n is only the slot, the unit ID is a
// key, so a new ID is one write) and one section [Supply<n>.Module<m>] per
// fitted module.
namespace SimBusIniKeys {
inline const QString FileName = QStringLiteral("simbus.ini");
inline const QString BadFileSuffix = QStringLiteral(".bad");
inline constexpr int MaxSupplies = 32;
inline constexpr int MaxFaultRules = 32;

inline const QString BusSection = QStringLiteral("Bus");
inline const QString Ports = QStringLiteral("Ports");         // extra port names, comma separated
inline const QString WireModel = QStringLiteral("WireModel"); // "1"/"0"; absent: automatic

// Fail<k>=method, unit, module, once|always, reply (unit or module 0: any).
inline const QString FaultsSection = QStringLiteral("Faults");
inline const QString FaultKeyPrefix = QStringLiteral("Fail");

inline QString supplySection(int slot)
{
    return QStringLiteral("Supply") + QString::number(slot);
}
inline QString moduleSection(int slot, int module)
{
    return supplySection(slot) + QStringLiteral(".Module") + QString::number(module);
}

// Supply keys
inline const QString UnitId = QStringLiteral("UnitID");
inline const QString SerialNumber = QStringLiteral("SerialNumber");
inline const QString MajorVersion = QStringLiteral("MajorVersion");
inline const QString MinorVersion = QStringLiteral("MinorVersion");
inline const QString FanFailPolarity = QStringLiteral("FanFailPolarity");
inline const QString DcGoodPolarity = QStringLiteral("DCGoodPolarity");
inline const QString OtFailPolarity = QStringLiteral("OTFailPolarity");
inline const QString DefaultGlobalPolarity = QStringLiteral("DefaultGlobalPolarity");
inline const QString DefaultGlobalState = QStringLiteral("DefaultGlobalState");
inline const QString DefaultGroupState = QStringLiteral("DefaultGroupState");
inline const QString OperatingHours = QStringLiteral("OperatingHours");
inline const QString Silent = QStringLiteral("Silent");
inline const QString ForcedAlarms =
    QStringLiteral("ForcedAlarms"); // status elements, comma separated

// Module keys (SerialNumber, MajorVersion, MinorVersion as above)
inline const QString TypeCode = QStringLiteral("TypeCode");
inline const QString ProgrammingMode = QStringLiteral("ProgrammingMode");
inline const QString OnOffPolarity = QStringLiteral("OnOffPolarity");
inline const QString StartUpState = QStringLiteral("StartUpState");
inline const QString TurnOnDelay = QStringLiteral("TurnOnDelay");
inline const QString DefaultVoltage = QStringLiteral("DefaultVoltage");
inline const QString GoodHigh = QStringLiteral("ModuleGoodHigh");
inline const QString GoodLow = QStringLiteral("ModuleGoodLow");
inline const QString CurrentLimitMode = QStringLiteral("CurrentLimitMode");
inline const QString EnableReset = QStringLiteral("EnableReset");
inline const QString CurrentLimit = QStringLiteral("CurrentLimit");
inline const QString CurrentLimitOnTime = QStringLiteral("CurrentLimitOnTime");
inline const QString CurrentLimitOffTime = QStringLiteral("CurrentLimitOffTime");
inline const QString GroupId = QStringLiteral("GroupID");
inline const QString MasterSlave = QStringLiteral("MasterSlave"); // 0 none, 1 master, 2 slave
inline const QString LoadOhms = QStringLiteral("LoadOhms");
} // namespace SimBusIniKeys
