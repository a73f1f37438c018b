#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// What a unit keeps in its EEPROM, as the simulated bus stores it. Raw values
// are device counts (volts or amperes times the type's scale factor).
struct SimModuleSettings
{
    qint16 typeCode = 0; // 0: no module in this position
    QString serialNumber;
    qint16 majorVersion = 1;
    qint16 minorVersion = 0;
    qint16 programmingMode = 1;
    qint16 onOffPolarity = 1;
    qint16 startUpState = 1;
    qint32 turnOnDelayMs = 0;
    qint16 defaultVoltage = 0;
    qint16 goodHigh = 0;
    qint16 goodLow = 0;
    qint16 currentLimitMode = 0; // 0 Normal, 1 Latching, 2 Hiccup, 3 CurrentShare
    qint16 enableReset = 0;
    qint16 currentLimit = 0; // 0: the type's own limit
    qint32 limitOnMs = 100;
    qint32 limitOffMs = 1000;
    qint16 groupId = 1;
    qint16 masterSlave = 0; // 0 none, 1 master, 2 slave of its group
    double loadOhms = 0;    // 0: no load connected

    bool present() const { return typeCode != 0; }
};

struct SimUnitSettings
{
    int slot = 0; // the [Supply<slot>] section
    qint16 unitId = 0;
    QString serialNumber;
    qint16 majorVersion = 1;
    qint16 minorVersion = 0;
    qint16 fanFailPolarity = 1;
    qint16 dcGoodPolarity = 0;
    qint16 otFailPolarity = 1;
    qint16 defaultGlobalPolarity = 1;
    qint16 defaultGlobalState = 1;
    qint16 defaultGroupState = 0;
    qint32 operatingHours = 0;
    bool silent = false;
    std::array<bool, 9> forcedAlarms{}; // indexes 1..8 as the global status byte
    std::array<SimModuleSettings, 5> modules;

    SimModuleSettings &module(int m) { return modules[m - 1]; }
    const SimModuleSettings &module(int m) const { return modules[m - 1]; }
};
