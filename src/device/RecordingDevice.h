#pragma once

#include "core/ZelkDevice.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Passes every call on to another device and keeps a log of the calls in
// order: method, arguments as they stood after the call, and the reply.
// Texts are quoted; a unit passed as a number is written without quotes.
class RecordingDevice final : public ZelkDevice
{
public:
    struct Call
    {
        QString method;
        QStringList arguments;
        QString reply;
        QString text() const; // "Method(a, b) -> reply"
    };

    explicit RecordingDevice(ZelkDevice &inner)
        : m_inner(inner)
    {}

    const std::vector<Call> &calls() const { return m_calls; }
    QStringList methodNames() const;
    QStringList callTexts() const;
    void clear() { m_calls.clear(); }
    // Runs after each call is logged: a test acts at a chosen point of a sequence.
    std::function<void(const Call &)> onCall;

    void SetINIParams(qint16 &readTimeout, qint16 &retryCount) override;
    QString OpenPort(const QString &port) override;
    QString ClosePort() override;
    QString WhoAmI() override;
    QString GetUnitID(qint16 &id, qint16 &result) override;
    QString ProbeUnit(qint16 unit) override;
    QString SetNewUnitID(qint16 &oldId, qint16 &newId) override;
    QString GetPresentModules(const UnitArg &unit, StatusArray &modules) override;
    QString GetModuleGoodStatusByte(const UnitArg &unit, StatusArray &status) override;
    QString GetGlobalStatusByte(const UnitArg &unit, StatusArray &status) override;
    QString GetOutputState(const UnitArg &unit, StatusArray &status) override;
    QString GetMasterSlaveMode(const UnitArg &unit, StatusArray &first,
                               StatusArray &second) override;
    QString GetUnitSerialN(const UnitArg &unit, QString &serial) override;
    QString GetUnitVersion(const UnitArg &unit, qint16 &major, qint16 &minor) override;
    QString GetOperatingHoursString(const UnitArg &unit, QString &hours) override;
    QString GetFanFailPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetFanFailPolarity(const UnitArg &unit, qint16 value) override;
    QString GetGlobalDCGoodPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetGlobalDCGoodPolarity(const UnitArg &unit, qint16 value) override;
    QString GetOTFailPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetOTFailPolarity(const UnitArg &unit, qint16 value) override;
    QString GetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 value) override;
    QString GetDefaultGlobalOutputState(const UnitArg &unit, qint16 &value) override;
    QString SetDefaultGlobalOutputState(const UnitArg &unit, qint16 value) override;
    QString GetDefaultGroupState(const UnitArg &unit, qint16 &value) override;
    QString SetDefaultGroupState(const UnitArg &unit, qint16 value) override;
    QString GetGlobalOutputState(const UnitArg &unit, qint16 &value) override;
    QString SetGlobalOutputState(const UnitArg &unit, qint16 state) override;
    QString GetGroupState(const UnitArg &unit, qint16 &value) override;
    QString SetGroupState(const UnitArg &unit, qint16 state) override;
    QString GetModuleType(const UnitArg &unit, qint16 module, qint16 &code) override;
    QString GetModuleSerialN(const UnitArg &unit, qint16 module, QString &serial) override;
    QString GetModuleVersion(const UnitArg &unit, qint16 module, qint16 &major,
                             qint16 &minor) override;
    QString GetProgrammingMode(const UnitArg &unit, qint16 module, qint16 &value) override;
    QString SetProgrammingMode(const UnitArg &unit, qint16 module, qint16 value) override;
    QString GetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                          qint16 &value) override;
    QString SetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                          qint16 value) override;
    QString GetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 &value) override;
    QString SetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 value) override;
    QString GetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                         qint32 &delayMs) override;
    QString SetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                         qint32 delayMs) override;
    QString SetOutputTurnONDelay(const UnitArg &unit, qint16 module, qint32 delayMs) override;
    QString GetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 &mode,
                                qint16 &enableReset) override;
    QString SetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 mode,
                                qint16 enableReset) override;
    QString GetCurrentLimit(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetCurrentLimit(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                          qint32 &timeMs) override;
    QString SetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                          qint32 timeMs) override;
    QString GetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                           qint32 &timeMs) override;
    QString SetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                           qint32 timeMs) override;
    QString GetGroupID(const UnitArg &unit, qint16 module, qint16 &group) override;
    QString SetGroupID(const UnitArg &unit, qint16 module, qint16 group) override;
    QString SetOutputState(const UnitArg &unit, qint16 module, qint16 state) override;
    QString SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw) override;

private:
    QString record(QString method, QStringList arguments, QString reply);

    ZelkDevice &m_inner;
    std::vector<Call> m_calls;
};
