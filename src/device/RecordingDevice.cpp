#include "device/RecordingDevice.h"

namespace {
QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString unitText(const UnitArg &unit)
{
    return unit.passedAsNumber() ? unit.text() : quoted(unit.text());
}
} // namespace

QString RecordingDevice::Call::text() const
{
    return method + QLatin1Char('(') + arguments.join(QStringLiteral(", ")) +
           QStringLiteral(") -> ") + reply;
}

QStringList RecordingDevice::methodNames() const
{
    QStringList names;
    for (const Call &c : m_calls)
        names << c.method;
    return names;
}

QStringList RecordingDevice::callTexts() const
{
    QStringList texts;
    for (const Call &c : m_calls)
        texts << c.text();
    return texts;
}

QString RecordingDevice::record(QString method, QStringList arguments, QString reply)
{
    m_calls.push_back({std::move(method), std::move(arguments), reply});
    if (onCall)
        onCall(m_calls.back());
    return reply;
}

void RecordingDevice::SetINIParams(qint16 &readTimeout, qint16 &retryCount)
{
    m_inner.SetINIParams(readTimeout, retryCount);
    record(QStringLiteral("SetINIParams"),
           {QString::number(readTimeout), QString::number(retryCount)}, QString());
}

QString RecordingDevice::OpenPort(const QString &port)
{
    const QString reply = m_inner.OpenPort(port);
    return record(QStringLiteral("OpenPort"), {quoted(port)}, reply);
}

QString RecordingDevice::ClosePort()
{
    const QString reply = m_inner.ClosePort();
    return record(QStringLiteral("ClosePort"), {}, reply);
}

QString RecordingDevice::WhoAmI()
{
    const QString reply = m_inner.WhoAmI();
    return record(QStringLiteral("WhoAmI"), {}, reply);
}

QString RecordingDevice::GetUnitID(qint16 &id, qint16 &result)
{
    const QString reply = m_inner.GetUnitID(id, result);
    return record(QStringLiteral("GetUnitID"), {QString::number(id), QString::number(result)},
                  reply);
}

QString RecordingDevice::ProbeUnit(qint16 unit)
{
    const QString reply = m_inner.ProbeUnit(unit);
    return record(QStringLiteral("ProbeUnit"), {QString::number(unit)}, reply);
}

QString RecordingDevice::SetNewUnitID(qint16 &oldId, qint16 &newId)
{
    const QString reply = m_inner.SetNewUnitID(oldId, newId);
    return record(QStringLiteral("SetNewUnitID"), {QString::number(oldId), QString::number(newId)},
                  reply);
}

QString RecordingDevice::GetPresentModules(const UnitArg &unit, StatusArray &modules)
{
    const QString reply = m_inner.GetPresentModules(unit, modules);
    return record(QStringLiteral("GetPresentModules"), {unitText(unit), modules.toStatusText()},
                  reply);
}

QString RecordingDevice::GetModuleGoodStatusByte(const UnitArg &unit, StatusArray &status)
{
    const QString reply = m_inner.GetModuleGoodStatusByte(unit, status);
    return record(QStringLiteral("GetModuleGoodStatusByte"),
                  {unitText(unit), status.toStatusText()}, reply);
}

QString RecordingDevice::GetGlobalStatusByte(const UnitArg &unit, StatusArray &status)
{
    const QString reply = m_inner.GetGlobalStatusByte(unit, status);
    return record(QStringLiteral("GetGlobalStatusByte"), {unitText(unit), status.toStatusText()},
                  reply);
}

QString RecordingDevice::GetOutputState(const UnitArg &unit, StatusArray &status)
{
    const QString reply = m_inner.GetOutputState(unit, status);
    return record(QStringLiteral("GetOutputState"), {unitText(unit), status.toStatusText()}, reply);
}

QString RecordingDevice::GetMasterSlaveMode(const UnitArg &unit, StatusArray &first,
                                            StatusArray &second)
{
    const QString reply = m_inner.GetMasterSlaveMode(unit, first, second);
    return record(QStringLiteral("GetMasterSlaveMode"),
                  {unitText(unit), first.toStatusText(), second.toStatusText()}, reply);
}

QString RecordingDevice::GetUnitSerialN(const UnitArg &unit, QString &serial)
{
    const QString reply = m_inner.GetUnitSerialN(unit, serial);
    return record(QStringLiteral("GetUnitSerialN"), {unitText(unit), quoted(serial)}, reply);
}

QString RecordingDevice::GetUnitVersion(const UnitArg &unit, qint16 &major, qint16 &minor)
{
    const QString reply = m_inner.GetUnitVersion(unit, major, minor);
    return record(QStringLiteral("GetUnitVersion"),
                  {unitText(unit), QString::number(major), QString::number(minor)}, reply);
}

QString RecordingDevice::GetOperatingHoursString(const UnitArg &unit, QString &hours)
{
    const QString reply = m_inner.GetOperatingHoursString(unit, hours);
    return record(QStringLiteral("GetOperatingHoursString"), {unitText(unit), quoted(hours)},
                  reply);
}

QString RecordingDevice::GetFanFailPolarity(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetFanFailPolarity(unit, value);
    return record(QStringLiteral("GetFanFailPolarity"), {unitText(unit), QString::number(value)},
                  reply);
}

QString RecordingDevice::SetFanFailPolarity(const UnitArg &unit, qint16 value)
{
    const QString reply = m_inner.SetFanFailPolarity(unit, value);
    return record(QStringLiteral("SetFanFailPolarity"), {unitText(unit), QString::number(value)},
                  reply);
}

QString RecordingDevice::GetGlobalDCGoodPolarity(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetGlobalDCGoodPolarity(unit, value);
    return record(QStringLiteral("GetGlobalDCGoodPolarity"),
                  {unitText(unit), QString::number(value)}, reply);
}

QString RecordingDevice::SetGlobalDCGoodPolarity(const UnitArg &unit, qint16 value)
{
    const QString reply = m_inner.SetGlobalDCGoodPolarity(unit, value);
    return record(QStringLiteral("SetGlobalDCGoodPolarity"),
                  {unitText(unit), QString::number(value)}, reply);
}

QString RecordingDevice::GetOTFailPolarity(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetOTFailPolarity(unit, value);
    return record(QStringLiteral("GetOTFailPolarity"), {unitText(unit), QString::number(value)},
                  reply);
}

QString RecordingDevice::SetOTFailPolarity(const UnitArg &unit, qint16 value)
{
    const QString reply = m_inner.SetOTFailPolarity(unit, value);
    return record(QStringLiteral("SetOTFailPolarity"), {unitText(unit), QString::number(value)},
                  reply);
}

QString RecordingDevice::GetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetDefaultGlobalOutputPolarity(unit, value);
    return record(QStringLiteral("GetDefaultGlobalOutputPolarity"),
                  {unitText(unit), QString::number(value)}, reply);
}

QString RecordingDevice::SetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 value)
{
    const QString reply = m_inner.SetDefaultGlobalOutputPolarity(unit, value);
    return record(QStringLiteral("SetDefaultGlobalOutputPolarity"),
                  {unitText(unit), QString::number(value)}, reply);
}

QString RecordingDevice::GetDefaultGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetDefaultGlobalOutputState(unit, value);
    return record(QStringLiteral("GetDefaultGlobalOutputState"),
                  {unitText(unit), QString::number(value)}, reply);
}

QString RecordingDevice::SetDefaultGlobalOutputState(const UnitArg &unit, qint16 value)
{
    const QString reply = m_inner.SetDefaultGlobalOutputState(unit, value);
    return record(QStringLiteral("SetDefaultGlobalOutputState"),
                  {unitText(unit), QString::number(value)}, reply);
}

QString RecordingDevice::GetDefaultGroupState(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetDefaultGroupState(unit, value);
    return record(QStringLiteral("GetDefaultGroupState"), {unitText(unit), QString::number(value)},
                  reply);
}

QString RecordingDevice::SetDefaultGroupState(const UnitArg &unit, qint16 value)
{
    const QString reply = m_inner.SetDefaultGroupState(unit, value);
    return record(QStringLiteral("SetDefaultGroupState"), {unitText(unit), QString::number(value)},
                  reply);
}

QString RecordingDevice::GetGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetGlobalOutputState(unit, value);
    return record(QStringLiteral("GetGlobalOutputState"), {unitText(unit), QString::number(value)},
                  reply);
}

QString RecordingDevice::SetGlobalOutputState(const UnitArg &unit, qint16 state)
{
    const QString reply = m_inner.SetGlobalOutputState(unit, state);
    return record(QStringLiteral("SetGlobalOutputState"), {unitText(unit), QString::number(state)},
                  reply);
}

QString RecordingDevice::GetGroupState(const UnitArg &unit, qint16 &value)
{
    const QString reply = m_inner.GetGroupState(unit, value);
    return record(QStringLiteral("GetGroupState"), {unitText(unit), QString::number(value)}, reply);
}

QString RecordingDevice::SetGroupState(const UnitArg &unit, qint16 state)
{
    const QString reply = m_inner.SetGroupState(unit, state);
    return record(QStringLiteral("SetGroupState"), {unitText(unit), QString::number(state)}, reply);
}

QString RecordingDevice::GetModuleType(const UnitArg &unit, qint16 module, qint16 &code)
{
    const QString reply = m_inner.GetModuleType(unit, module, code);
    return record(QStringLiteral("GetModuleType"),
                  {unitText(unit), QString::number(module), QString::number(code)}, reply);
}

QString RecordingDevice::GetModuleSerialN(const UnitArg &unit, qint16 module, QString &serial)
{
    const QString reply = m_inner.GetModuleSerialN(unit, module, serial);
    return record(QStringLiteral("GetModuleSerialN"),
                  {unitText(unit), QString::number(module), quoted(serial)}, reply);
}

QString RecordingDevice::GetModuleVersion(const UnitArg &unit, qint16 module, qint16 &major,
                                          qint16 &minor)
{
    const QString reply = m_inner.GetModuleVersion(unit, module, major, minor);
    return record(
        QStringLiteral("GetModuleVersion"),
        {unitText(unit), QString::number(module), QString::number(major), QString::number(minor)},
        reply);
}

QString RecordingDevice::GetProgrammingMode(const UnitArg &unit, qint16 module, qint16 &value)
{
    const QString reply = m_inner.GetProgrammingMode(unit, module, value);
    return record(QStringLiteral("GetProgrammingMode"),
                  {unitText(unit), QString::number(module), QString::number(value)}, reply);
}

QString RecordingDevice::SetProgrammingMode(const UnitArg &unit, qint16 module, qint16 value)
{
    const QString reply = m_inner.SetProgrammingMode(unit, module, value);
    return record(QStringLiteral("SetProgrammingMode"),
                  {unitText(unit), QString::number(module), QString::number(value)}, reply);
}

QString RecordingDevice::GetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                       qint16 &value)
{
    const QString reply = m_inner.GetDefaultOutputOnOffPolarity(unit, module, value);
    return record(QStringLiteral("GetDefaultOutputOnOffPolarity"),
                  {unitText(unit), QString::number(module), QString::number(value)}, reply);
}

QString RecordingDevice::SetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                       qint16 value)
{
    const QString reply = m_inner.SetDefaultOutputOnOffPolarity(unit, module, value);
    return record(QStringLiteral("SetDefaultOutputOnOffPolarity"),
                  {unitText(unit), QString::number(module), QString::number(value)}, reply);
}

QString RecordingDevice::GetDefaultOutputOnOffState(const UnitArg &unit, qint16 module,
                                                    qint16 &value)
{
    const QString reply = m_inner.GetDefaultOutputOnOffState(unit, module, value);
    return record(QStringLiteral("GetDefaultOutputOnOffState"),
                  {unitText(unit), QString::number(module), QString::number(value)}, reply);
}

QString RecordingDevice::SetDefaultOutputOnOffState(const UnitArg &unit, qint16 module,
                                                    qint16 value)
{
    const QString reply = m_inner.SetDefaultOutputOnOffState(unit, module, value);
    return record(QStringLiteral("SetDefaultOutputOnOffState"),
                  {unitText(unit), QString::number(module), QString::number(value)}, reply);
}

QString RecordingDevice::GetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                      qint32 &delayMs)
{
    const QString reply = m_inner.GetOutputTurnONDelayExUShort(unit, module, delayMs);
    return record(QStringLiteral("GetOutputTurnONDelayExUShort"),
                  {unitText(unit), QString::number(module), QString::number(delayMs)}, reply);
}

QString RecordingDevice::SetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                      qint32 delayMs)
{
    const QString reply = m_inner.SetOutputTurnONDelayExUShort(unit, module, delayMs);
    return record(QStringLiteral("SetOutputTurnONDelayExUShort"),
                  {unitText(unit), QString::number(module), QString::number(delayMs)}, reply);
}

QString RecordingDevice::SetOutputTurnONDelay(const UnitArg &unit, qint16 module, qint32 delayMs)
{
    const QString reply = m_inner.SetOutputTurnONDelay(unit, module, delayMs);
    return record(QStringLiteral("SetOutputTurnONDelay"),
                  {unitText(unit), QString::number(module), QString::number(delayMs)}, reply);
}

QString RecordingDevice::GetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    const QString reply = m_inner.GetDefaultOutputVoltage(unit, module, raw);
    return record(QStringLiteral("GetDefaultOutputVoltage"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::SetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 raw)
{
    const QString reply = m_inner.SetDefaultOutputVoltage(unit, module, raw);
    return record(QStringLiteral("SetDefaultOutputVoltage"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::GetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 &raw)
{
    const QString reply = m_inner.GetModuleGoodHighThreshold(unit, module, raw);
    return record(QStringLiteral("GetModuleGoodHighThreshold"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::SetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    const QString reply = m_inner.SetModuleGoodHighThreshold(unit, module, raw);
    return record(QStringLiteral("SetModuleGoodHighThreshold"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::GetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 &raw)
{
    const QString reply = m_inner.GetModuleGoodLowThreshold(unit, module, raw);
    return record(QStringLiteral("GetModuleGoodLowThreshold"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::SetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    const QString reply = m_inner.SetModuleGoodLowThreshold(unit, module, raw);
    return record(QStringLiteral("SetModuleGoodLowThreshold"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::GetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 &mode,
                                             qint16 &enableReset)
{
    const QString reply = m_inner.GetCurrentLimitMode(unit, module, mode, enableReset);
    return record(QStringLiteral("GetCurrentLimitMode"),
                  {unitText(unit), QString::number(module), QString::number(mode),
                   QString::number(enableReset)},
                  reply);
}

QString RecordingDevice::SetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 mode,
                                             qint16 enableReset)
{
    const QString reply = m_inner.SetCurrentLimitMode(unit, module, mode, enableReset);
    return record(QStringLiteral("SetCurrentLimitMode"),
                  {unitText(unit), QString::number(module), QString::number(mode),
                   QString::number(enableReset)},
                  reply);
}

QString RecordingDevice::GetCurrentLimit(const UnitArg &unit, qint16 module, qint16 &raw)
{
    const QString reply = m_inner.GetCurrentLimit(unit, module, raw);
    return record(QStringLiteral("GetCurrentLimit"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::SetCurrentLimit(const UnitArg &unit, qint16 module, qint16 raw)
{
    const QString reply = m_inner.SetCurrentLimit(unit, module, raw);
    return record(QStringLiteral("SetCurrentLimit"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::GetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                       qint32 &timeMs)
{
    const QString reply = m_inner.GetCurrentLimitONTimeExUShort(unit, module, timeMs);
    return record(QStringLiteral("GetCurrentLimitONTimeExUShort"),
                  {unitText(unit), QString::number(module), QString::number(timeMs)}, reply);
}

QString RecordingDevice::SetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                       qint32 timeMs)
{
    const QString reply = m_inner.SetCurrentLimitONTimeExUShort(unit, module, timeMs);
    return record(QStringLiteral("SetCurrentLimitONTimeExUShort"),
                  {unitText(unit), QString::number(module), QString::number(timeMs)}, reply);
}

QString RecordingDevice::GetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                        qint32 &timeMs)
{
    const QString reply = m_inner.GetCurrentLimitOFFTimeExUShort(unit, module, timeMs);
    return record(QStringLiteral("GetCurrentLimitOFFTimeExUShort"),
                  {unitText(unit), QString::number(module), QString::number(timeMs)}, reply);
}

QString RecordingDevice::SetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                        qint32 timeMs)
{
    const QString reply = m_inner.SetCurrentLimitOFFTimeExUShort(unit, module, timeMs);
    return record(QStringLiteral("SetCurrentLimitOFFTimeExUShort"),
                  {unitText(unit), QString::number(module), QString::number(timeMs)}, reply);
}

QString RecordingDevice::GetGroupID(const UnitArg &unit, qint16 module, qint16 &group)
{
    const QString reply = m_inner.GetGroupID(unit, module, group);
    return record(QStringLiteral("GetGroupID"),
                  {unitText(unit), QString::number(module), QString::number(group)}, reply);
}

QString RecordingDevice::SetGroupID(const UnitArg &unit, qint16 module, qint16 group)
{
    const QString reply = m_inner.SetGroupID(unit, module, group);
    return record(QStringLiteral("SetGroupID"),
                  {unitText(unit), QString::number(module), QString::number(group)}, reply);
}

QString RecordingDevice::SetOutputState(const UnitArg &unit, qint16 module, qint16 state)
{
    const QString reply = m_inner.SetOutputState(unit, module, state);
    return record(QStringLiteral("SetOutputState"),
                  {unitText(unit), QString::number(module), QString::number(state)}, reply);
}

QString RecordingDevice::SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw)
{
    const QString reply = m_inner.SetOutputVoltageSetpoint(unit, module, raw);
    return record(QStringLiteral("SetOutputVoltageSetpoint"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    const QString reply = m_inner.MeasureOutputVoltage(unit, module, raw);
    return record(QStringLiteral("MeasureOutputVoltage"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}

QString RecordingDevice::MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw)
{
    const QString reply = m_inner.MeasureOutputCurrent(unit, module, raw);
    return record(QStringLiteral("MeasureOutputCurrent"),
                  {unitText(unit), QString::number(module), QString::number(raw)}, reply);
}
