#pragma once

#include "core/ZelkDevice.h"

#include <gmock/gmock.h>

// A device whose every method a test scripts.
class MockZelkDevice : public ZelkDevice
{
public:
    MOCK_METHOD(void, SetINIParams, (qint16 & readTimeout, qint16 &retryCount), (override));
    MOCK_METHOD(QString, OpenPort, (const QString &port), (override));
    MOCK_METHOD(QString, ClosePort, (), (override));
    MOCK_METHOD(QString, WhoAmI, (), (override));
    MOCK_METHOD(QString, GetUnitID, (qint16 & id, qint16 &result), (override));
    MOCK_METHOD(QString, ProbeUnit, (qint16 unit), (override));
    MOCK_METHOD(QString, SetNewUnitID, (qint16 & oldId, qint16 &newId), (override));
    MOCK_METHOD(QString, GetPresentModules, (const UnitArg &unit, StatusArray &modules),
                (override));
    MOCK_METHOD(QString, GetModuleGoodStatusByte, (const UnitArg &unit, StatusArray &status),
                (override));
    MOCK_METHOD(QString, GetGlobalStatusByte, (const UnitArg &unit, StatusArray &status),
                (override));
    MOCK_METHOD(QString, GetOutputState, (const UnitArg &unit, StatusArray &status), (override));
    MOCK_METHOD(QString, GetMasterSlaveMode,
                (const UnitArg &unit, StatusArray &first, StatusArray &second), (override));
    MOCK_METHOD(QString, GetUnitSerialN, (const UnitArg &unit, QString &serial), (override));
    MOCK_METHOD(QString, GetUnitVersion, (const UnitArg &unit, qint16 &major, qint16 &minor),
                (override));
    MOCK_METHOD(QString, GetOperatingHoursString, (const UnitArg &unit, QString &hours),
                (override));
    MOCK_METHOD(QString, GetFanFailPolarity, (const UnitArg &unit, qint16 &value), (override));
    MOCK_METHOD(QString, SetFanFailPolarity, (const UnitArg &unit, qint16 value), (override));
    MOCK_METHOD(QString, GetGlobalDCGoodPolarity, (const UnitArg &unit, qint16 &value), (override));
    MOCK_METHOD(QString, SetGlobalDCGoodPolarity, (const UnitArg &unit, qint16 value), (override));
    MOCK_METHOD(QString, GetOTFailPolarity, (const UnitArg &unit, qint16 &value), (override));
    MOCK_METHOD(QString, SetOTFailPolarity, (const UnitArg &unit, qint16 value), (override));
    MOCK_METHOD(QString, GetDefaultGlobalOutputPolarity, (const UnitArg &unit, qint16 &value),
                (override));
    MOCK_METHOD(QString, SetDefaultGlobalOutputPolarity, (const UnitArg &unit, qint16 value),
                (override));
    MOCK_METHOD(QString, GetDefaultGlobalOutputState, (const UnitArg &unit, qint16 &value),
                (override));
    MOCK_METHOD(QString, SetDefaultGlobalOutputState, (const UnitArg &unit, qint16 value),
                (override));
    MOCK_METHOD(QString, GetDefaultGroupState, (const UnitArg &unit, qint16 &value), (override));
    MOCK_METHOD(QString, SetDefaultGroupState, (const UnitArg &unit, qint16 value), (override));
    MOCK_METHOD(QString, GetGlobalOutputState, (const UnitArg &unit, qint16 &value), (override));
    MOCK_METHOD(QString, SetGlobalOutputState, (const UnitArg &unit, qint16 state), (override));
    MOCK_METHOD(QString, GetGroupState, (const UnitArg &unit, qint16 &value), (override));
    MOCK_METHOD(QString, SetGroupState, (const UnitArg &unit, qint16 state), (override));
    MOCK_METHOD(QString, GetModuleType, (const UnitArg &unit, qint16 module, qint16 &code),
                (override));
    MOCK_METHOD(QString, GetModuleSerialN, (const UnitArg &unit, qint16 module, QString &serial),
                (override));
    MOCK_METHOD(QString, GetModuleVersion,
                (const UnitArg &unit, qint16 module, qint16 &major, qint16 &minor), (override));
    MOCK_METHOD(QString, GetProgrammingMode, (const UnitArg &unit, qint16 module, qint16 &value),
                (override));
    MOCK_METHOD(QString, SetProgrammingMode, (const UnitArg &unit, qint16 module, qint16 value),
                (override));
    MOCK_METHOD(QString, GetDefaultOutputOnOffPolarity,
                (const UnitArg &unit, qint16 module, qint16 &value), (override));
    MOCK_METHOD(QString, SetDefaultOutputOnOffPolarity,
                (const UnitArg &unit, qint16 module, qint16 value), (override));
    MOCK_METHOD(QString, GetDefaultOutputOnOffState,
                (const UnitArg &unit, qint16 module, qint16 &value), (override));
    MOCK_METHOD(QString, SetDefaultOutputOnOffState,
                (const UnitArg &unit, qint16 module, qint16 value), (override));
    MOCK_METHOD(QString, GetOutputTurnONDelayExUShort,
                (const UnitArg &unit, qint16 module, qint32 &delayMs), (override));
    MOCK_METHOD(QString, SetOutputTurnONDelayExUShort,
                (const UnitArg &unit, qint16 module, qint32 delayMs), (override));
    MOCK_METHOD(QString, SetOutputTurnONDelay, (const UnitArg &unit, qint16 module, qint32 delayMs),
                (override));
    MOCK_METHOD(QString, GetDefaultOutputVoltage, (const UnitArg &unit, qint16 module, qint16 &raw),
                (override));
    MOCK_METHOD(QString, SetDefaultOutputVoltage, (const UnitArg &unit, qint16 module, qint16 raw),
                (override));
    MOCK_METHOD(QString, GetModuleGoodHighThreshold,
                (const UnitArg &unit, qint16 module, qint16 &raw), (override));
    MOCK_METHOD(QString, SetModuleGoodHighThreshold,
                (const UnitArg &unit, qint16 module, qint16 raw), (override));
    MOCK_METHOD(QString, GetModuleGoodLowThreshold,
                (const UnitArg &unit, qint16 module, qint16 &raw), (override));
    MOCK_METHOD(QString, SetModuleGoodLowThreshold,
                (const UnitArg &unit, qint16 module, qint16 raw), (override));
    MOCK_METHOD(QString, GetCurrentLimitMode,
                (const UnitArg &unit, qint16 module, qint16 &mode, qint16 &enableReset),
                (override));
    MOCK_METHOD(QString, SetCurrentLimitMode,
                (const UnitArg &unit, qint16 module, qint16 mode, qint16 enableReset), (override));
    MOCK_METHOD(QString, GetCurrentLimit, (const UnitArg &unit, qint16 module, qint16 &raw),
                (override));
    MOCK_METHOD(QString, SetCurrentLimit, (const UnitArg &unit, qint16 module, qint16 raw),
                (override));
    MOCK_METHOD(QString, GetCurrentLimitONTimeExUShort,
                (const UnitArg &unit, qint16 module, qint32 &timeMs), (override));
    MOCK_METHOD(QString, SetCurrentLimitONTimeExUShort,
                (const UnitArg &unit, qint16 module, qint32 timeMs), (override));
    MOCK_METHOD(QString, GetCurrentLimitOFFTimeExUShort,
                (const UnitArg &unit, qint16 module, qint32 &timeMs), (override));
    MOCK_METHOD(QString, SetCurrentLimitOFFTimeExUShort,
                (const UnitArg &unit, qint16 module, qint32 timeMs), (override));
    MOCK_METHOD(QString, GetGroupID, (const UnitArg &unit, qint16 module, qint16 &group),
                (override));
    MOCK_METHOD(QString, SetGroupID, (const UnitArg &unit, qint16 module, qint16 group),
                (override));
    MOCK_METHOD(QString, SetOutputState, (const UnitArg &unit, qint16 module, qint16 state),
                (override));
    MOCK_METHOD(QString, SetOutputVoltageSetpoint, (const UnitArg &unit, qint16 module, qint16 raw),
                (override));
    MOCK_METHOD(QString, MeasureOutputVoltage, (const UnitArg &unit, qint16 module, qint16 &raw),
                (override));
    MOCK_METHOD(QString, MeasureOutputCurrent, (const UnitArg &unit, qint16 module, qint16 &raw),
                (override));
};
