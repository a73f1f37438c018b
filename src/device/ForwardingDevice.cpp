#include "device/ForwardingDevice.h"

QString ForwardingDevice::OpenPort(const QString &port)
{
    return target().OpenPort(port);
}

QString ForwardingDevice::ClosePort()
{
    return target().ClosePort();
}

void ForwardingDevice::SetINIParams(qint16 &readTimeout, qint16 &retryCount)
{
    target().SetINIParams(readTimeout, retryCount);
}

QString ForwardingDevice::WhoAmI()
{
    return target().WhoAmI();
}

QString ForwardingDevice::ProbeUnit(qint16 unit)
{
    return target().ProbeUnit(unit);
}

QString ForwardingDevice::GetUnitID(qint16 &id, qint16 &result)
{
    return target().GetUnitID(id, result);
}

QString ForwardingDevice::SetNewUnitID(qint16 &oldId, qint16 &newId)
{
    return target().SetNewUnitID(oldId, newId);
}

QString ForwardingDevice::GetPresentModules(const UnitArg &unit, StatusArray &modules)
{
    return target().GetPresentModules(unit, modules);
}

QString ForwardingDevice::GetModuleGoodStatusByte(const UnitArg &unit, StatusArray &status)
{
    return target().GetModuleGoodStatusByte(unit, status);
}

QString ForwardingDevice::GetGlobalStatusByte(const UnitArg &unit, StatusArray &status)
{
    return target().GetGlobalStatusByte(unit, status);
}

QString ForwardingDevice::GetOutputState(const UnitArg &unit, StatusArray &status)
{
    return target().GetOutputState(unit, status);
}

QString ForwardingDevice::GetMasterSlaveMode(const UnitArg &unit, StatusArray &first,
                                             StatusArray &second)
{
    return target().GetMasterSlaveMode(unit, first, second);
}

QString ForwardingDevice::GetUnitSerialN(const UnitArg &unit, QString &serial)
{
    return target().GetUnitSerialN(unit, serial);
}

QString ForwardingDevice::GetUnitVersion(const UnitArg &unit, qint16 &major, qint16 &minor)
{
    return target().GetUnitVersion(unit, major, minor);
}

QString ForwardingDevice::GetOperatingHoursString(const UnitArg &unit, QString &hours)
{
    return target().GetOperatingHoursString(unit, hours);
}

QString ForwardingDevice::GetFanFailPolarity(const UnitArg &unit, qint16 &value)
{
    return target().GetFanFailPolarity(unit, value);
}

QString ForwardingDevice::SetFanFailPolarity(const UnitArg &unit, qint16 value)
{
    return target().SetFanFailPolarity(unit, value);
}

QString ForwardingDevice::GetGlobalDCGoodPolarity(const UnitArg &unit, qint16 &value)
{
    return target().GetGlobalDCGoodPolarity(unit, value);
}

QString ForwardingDevice::SetGlobalDCGoodPolarity(const UnitArg &unit, qint16 value)
{
    return target().SetGlobalDCGoodPolarity(unit, value);
}

QString ForwardingDevice::GetOTFailPolarity(const UnitArg &unit, qint16 &value)
{
    return target().GetOTFailPolarity(unit, value);
}

QString ForwardingDevice::SetOTFailPolarity(const UnitArg &unit, qint16 value)
{
    return target().SetOTFailPolarity(unit, value);
}

QString ForwardingDevice::GetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 &value)
{
    return target().GetDefaultGlobalOutputPolarity(unit, value);
}

QString ForwardingDevice::SetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 value)
{
    return target().SetDefaultGlobalOutputPolarity(unit, value);
}

QString ForwardingDevice::GetDefaultGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    return target().GetDefaultGlobalOutputState(unit, value);
}

QString ForwardingDevice::SetDefaultGlobalOutputState(const UnitArg &unit, qint16 value)
{
    return target().SetDefaultGlobalOutputState(unit, value);
}

QString ForwardingDevice::GetDefaultGroupState(const UnitArg &unit, qint16 &value)
{
    return target().GetDefaultGroupState(unit, value);
}

QString ForwardingDevice::SetDefaultGroupState(const UnitArg &unit, qint16 value)
{
    return target().SetDefaultGroupState(unit, value);
}

QString ForwardingDevice::GetGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    return target().GetGlobalOutputState(unit, value);
}

QString ForwardingDevice::SetGlobalOutputState(const UnitArg &unit, qint16 state)
{
    return target().SetGlobalOutputState(unit, state);
}

QString ForwardingDevice::GetGroupState(const UnitArg &unit, qint16 &value)
{
    return target().GetGroupState(unit, value);
}

QString ForwardingDevice::SetGroupState(const UnitArg &unit, qint16 state)
{
    return target().SetGroupState(unit, state);
}

QString ForwardingDevice::GetModuleType(const UnitArg &unit, qint16 module, qint16 &code)
{
    return target().GetModuleType(unit, module, code);
}

QString ForwardingDevice::GetModuleSerialN(const UnitArg &unit, qint16 module, QString &serial)
{
    return target().GetModuleSerialN(unit, module, serial);
}

QString ForwardingDevice::GetModuleVersion(const UnitArg &unit, qint16 module, qint16 &major,
                                           qint16 &minor)
{
    return target().GetModuleVersion(unit, module, major, minor);
}

QString ForwardingDevice::GetProgrammingMode(const UnitArg &unit, qint16 module, qint16 &value)
{
    return target().GetProgrammingMode(unit, module, value);
}

QString ForwardingDevice::SetProgrammingMode(const UnitArg &unit, qint16 module, qint16 value)
{
    return target().SetProgrammingMode(unit, module, value);
}

QString ForwardingDevice::GetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                        qint16 &value)
{
    return target().GetDefaultOutputOnOffPolarity(unit, module, value);
}

QString ForwardingDevice::SetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                        qint16 value)
{
    return target().SetDefaultOutputOnOffPolarity(unit, module, value);
}

QString ForwardingDevice::GetDefaultOutputOnOffState(const UnitArg &unit, qint16 module,
                                                     qint16 &value)
{
    return target().GetDefaultOutputOnOffState(unit, module, value);
}

QString ForwardingDevice::SetDefaultOutputOnOffState(const UnitArg &unit, qint16 module,
                                                     qint16 value)
{
    return target().SetDefaultOutputOnOffState(unit, module, value);
}

QString ForwardingDevice::GetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                       qint32 &delayMs)
{
    return target().GetOutputTurnONDelayExUShort(unit, module, delayMs);
}

QString ForwardingDevice::SetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                       qint32 delayMs)
{
    return target().SetOutputTurnONDelayExUShort(unit, module, delayMs);
}

QString ForwardingDevice::SetOutputTurnONDelay(const UnitArg &unit, qint16 module, qint32 delayMs)
{
    return target().SetOutputTurnONDelay(unit, module, delayMs);
}

QString ForwardingDevice::GetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return target().GetDefaultOutputVoltage(unit, module, raw);
}

QString ForwardingDevice::SetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 raw)
{
    return target().SetDefaultOutputVoltage(unit, module, raw);
}

QString ForwardingDevice::GetModuleGoodHighThreshold(const UnitArg &unit, qint16 module,
                                                     qint16 &raw)
{
    return target().GetModuleGoodHighThreshold(unit, module, raw);
}

QString ForwardingDevice::SetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    return target().SetModuleGoodHighThreshold(unit, module, raw);
}

QString ForwardingDevice::GetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return target().GetModuleGoodLowThreshold(unit, module, raw);
}

QString ForwardingDevice::SetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    return target().SetModuleGoodLowThreshold(unit, module, raw);
}

QString ForwardingDevice::GetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 &mode,
                                              qint16 &enableReset)
{
    return target().GetCurrentLimitMode(unit, module, mode, enableReset);
}

QString ForwardingDevice::SetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 mode,
                                              qint16 enableReset)
{
    return target().SetCurrentLimitMode(unit, module, mode, enableReset);
}

QString ForwardingDevice::GetCurrentLimit(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return target().GetCurrentLimit(unit, module, raw);
}

QString ForwardingDevice::SetCurrentLimit(const UnitArg &unit, qint16 module, qint16 raw)
{
    return target().SetCurrentLimit(unit, module, raw);
}

QString ForwardingDevice::GetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                        qint32 &timeMs)
{
    return target().GetCurrentLimitONTimeExUShort(unit, module, timeMs);
}

QString ForwardingDevice::SetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                        qint32 timeMs)
{
    return target().SetCurrentLimitONTimeExUShort(unit, module, timeMs);
}

QString ForwardingDevice::GetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                         qint32 &timeMs)
{
    return target().GetCurrentLimitOFFTimeExUShort(unit, module, timeMs);
}

QString ForwardingDevice::SetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                         qint32 timeMs)
{
    return target().SetCurrentLimitOFFTimeExUShort(unit, module, timeMs);
}

QString ForwardingDevice::GetGroupID(const UnitArg &unit, qint16 module, qint16 &group)
{
    return target().GetGroupID(unit, module, group);
}

QString ForwardingDevice::SetGroupID(const UnitArg &unit, qint16 module, qint16 group)
{
    return target().SetGroupID(unit, module, group);
}

QString ForwardingDevice::SetOutputState(const UnitArg &unit, qint16 module, qint16 state)
{
    return target().SetOutputState(unit, module, state);
}

QString ForwardingDevice::SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw)
{
    return target().SetOutputVoltageSetpoint(unit, module, raw);
}

QString ForwardingDevice::MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return target().MeasureOutputVoltage(unit, module, raw);
}

QString ForwardingDevice::MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return target().MeasureOutputCurrent(unit, module, raw);
}
