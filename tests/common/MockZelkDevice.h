#pragma once

#include "core/ZelkDevice.h"

#include <gmock/gmock.h>

// A device whose every method a test scripts.
class MockZelkDevice : public ZelkDevice
{
    using Unit = const UnitArg &;

public:
    MOCK_METHOD(void, SetINIParams, (qint16 &, qint16 &), (override));
    MOCK_METHOD(QString, OpenPort, (const QString &), (override));
    MOCK_METHOD(QString, ClosePort, (), (override));
    MOCK_METHOD(QString, WhoAmI, (), (override));
    MOCK_METHOD(QString, GetUnitID, (qint16 &, qint16 &), (override));
    MOCK_METHOD(QString, ProbeUnit, (qint16), (override));
    MOCK_METHOD(QString, SetNewUnitID, (qint16 &, qint16 &), (override));
    MOCK_METHOD(QString, GetPresentModules, (Unit, StatusArray &), (override));
    MOCK_METHOD(QString, GetModuleGoodStatusByte, (Unit, StatusArray &), (override));
    MOCK_METHOD(QString, GetGlobalStatusByte, (Unit, StatusArray &), (override));
    MOCK_METHOD(QString, GetOutputState, (Unit, StatusArray &), (override));
    MOCK_METHOD(QString, GetMasterSlaveMode, (Unit, StatusArray &, StatusArray &), (override));
    MOCK_METHOD(QString, GetUnitSerialN, (Unit, QString &), (override));
    MOCK_METHOD(QString, GetUnitVersion, (Unit, qint16 &, qint16 &), (override));
    MOCK_METHOD(QString, GetOperatingHoursString, (Unit, QString &), (override));
    MOCK_METHOD(QString, GetFanFailPolarity, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetFanFailPolarity, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetGlobalDCGoodPolarity, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetGlobalDCGoodPolarity, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetOTFailPolarity, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetOTFailPolarity, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetDefaultGlobalOutputPolarity, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetDefaultGlobalOutputPolarity, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetDefaultGlobalOutputState, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetDefaultGlobalOutputState, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetDefaultGroupState, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetDefaultGroupState, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetGlobalOutputState, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetGlobalOutputState, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetGroupState, (Unit, qint16 &), (override));
    MOCK_METHOD(QString, SetGroupState, (Unit, qint16), (override));
    MOCK_METHOD(QString, GetModuleType, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, GetModuleSerialN, (Unit, qint16, QString &), (override));
    MOCK_METHOD(QString, GetModuleVersion, (Unit, qint16, qint16 &, qint16 &), (override));
    MOCK_METHOD(QString, GetProgrammingMode, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetProgrammingMode, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, GetDefaultOutputOnOffPolarity, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetDefaultOutputOnOffPolarity, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, GetDefaultOutputOnOffState, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetDefaultOutputOnOffState, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, GetOutputTurnONDelayExUShort, (Unit, qint16, qint32 &), (override));
    MOCK_METHOD(QString, SetOutputTurnONDelayExUShort, (Unit, qint16, qint32), (override));
    MOCK_METHOD(QString, SetOutputTurnONDelay, (Unit, qint16, qint32), (override));
    MOCK_METHOD(QString, GetDefaultOutputVoltage, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetDefaultOutputVoltage, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, GetModuleGoodHighThreshold, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetModuleGoodHighThreshold, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, GetModuleGoodLowThreshold, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetModuleGoodLowThreshold, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, GetCurrentLimitMode, (Unit, qint16, qint16 &, qint16 &), (override));
    MOCK_METHOD(QString, SetCurrentLimitMode, (Unit, qint16, qint16, qint16), (override));
    MOCK_METHOD(QString, GetCurrentLimit, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetCurrentLimit, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, GetCurrentLimitONTimeExUShort, (Unit, qint16, qint32 &), (override));
    MOCK_METHOD(QString, SetCurrentLimitONTimeExUShort, (Unit, qint16, qint32), (override));
    MOCK_METHOD(QString, GetCurrentLimitOFFTimeExUShort, (Unit, qint16, qint32 &), (override));
    MOCK_METHOD(QString, SetCurrentLimitOFFTimeExUShort, (Unit, qint16, qint32), (override));
    MOCK_METHOD(QString, GetGroupID, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, SetGroupID, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, SetOutputState, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, SetOutputVoltageSetpoint, (Unit, qint16, qint16), (override));
    MOCK_METHOD(QString, MeasureOutputVoltage, (Unit, qint16, qint16 &), (override));
    MOCK_METHOD(QString, MeasureOutputCurrent, (Unit, qint16, qint16 &), (override));
};
