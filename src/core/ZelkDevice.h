#pragma once

#include "core/StatusArray.h"
#include "core/UnitArg.h"

#include <QString>
#include <QtGlobal>

// The device automation object: every exchange with a unit goes through it.
// Each method answers with a reply text; "CMD_OK" is success, anything else
// is an error text. Out-arguments are references the device fills.
// Units are 1..32, modules 1..5; the ...ExUShort values are 32-bit.
class ZelkDevice
{
public:
    virtual ~ZelkDevice() = default;

    // Port and identity
    virtual void SetINIParams(qint16 &readTimeout, qint16 &retryCount) = 0;
    virtual QString OpenPort(const QString &port) = 0;
    virtual QString ClosePort() = 0;
    virtual QString WhoAmI() = 0;

    // Unit addressing
    virtual QString GetUnitID(qint16 &id, qint16 &result) = 0;
    // Whether a unit answers at this ID, for a look for units rather than a
    // read of one: one short question with no retry (on the serial line the
    // silent unit's wait). A unit that answered since the line opened is
    // there without a question. CMD_OK when a unit answers; otherwise the
    // failure, which names "damaged" answers when something garbled came.
    virtual QString ProbeUnit(qint16 unit) = 0;
    // Whether a ProbeUnit reply says that no unit is at the ID: nothing came
    // back. A garbled answer may be two units at one ID; a read tells.
    static bool nobodyAnswered(const QString &probeReply)
    {
        return probeReply.startsWith(QLatin1String("ERR_TIMEOUT")) &&
               !probeReply.contains(QLatin1String("damaged"));
    }
    // What a look for units that found none, or heard a garbled answer to a
    // short question (a slow unit's answer comes during a later question),
    // tells the user.
    static QString slowUnitHint()
    {
        return QStringLiteral("A unit that answers later than SilentTimeout ([Serial COM "
                              "Parameters] of Zelk.ini) allows is not found by a look for "
                              "units: a slower unit needs a larger SilentTimeout.");
    }
    virtual QString SetNewUnitID(qint16 &oldId, qint16 &newId) = 0;

    // Unit status bytes
    virtual QString GetPresentModules(const UnitArg &unit, StatusArray &modules) = 0;
    virtual QString GetModuleGoodStatusByte(const UnitArg &unit, StatusArray &status) = 0;
    virtual QString GetGlobalStatusByte(const UnitArg &unit, StatusArray &status) = 0;
    virtual QString GetOutputState(const UnitArg &unit, StatusArray &status) = 0;
    virtual QString GetMasterSlaveMode(const UnitArg &unit, StatusArray &first,
                                       StatusArray &second) = 0;

    // Unit identity and options
    virtual QString GetUnitSerialN(const UnitArg &unit, QString &serial) = 0;
    virtual QString GetUnitVersion(const UnitArg &unit, qint16 &major, qint16 &minor) = 0;
    virtual QString GetOperatingHoursString(const UnitArg &unit, QString &hours) = 0;
    virtual QString GetFanFailPolarity(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetFanFailPolarity(const UnitArg &unit, qint16 value) = 0;
    virtual QString GetGlobalDCGoodPolarity(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetGlobalDCGoodPolarity(const UnitArg &unit, qint16 value) = 0;
    virtual QString GetOTFailPolarity(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetOTFailPolarity(const UnitArg &unit, qint16 value) = 0;
    virtual QString GetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 value) = 0;
    virtual QString GetDefaultGlobalOutputState(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetDefaultGlobalOutputState(const UnitArg &unit, qint16 value) = 0;
    virtual QString GetDefaultGroupState(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetDefaultGroupState(const UnitArg &unit, qint16 value) = 0;

    // Live unit outputs
    virtual QString GetGlobalOutputState(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetGlobalOutputState(const UnitArg &unit, qint16 state) = 0;
    virtual QString GetGroupState(const UnitArg &unit, qint16 &value) = 0;
    virtual QString SetGroupState(const UnitArg &unit, qint16 state) = 0;

    // Module identity
    virtual QString GetModuleType(const UnitArg &unit, qint16 module, qint16 &code) = 0;
    virtual QString GetModuleSerialN(const UnitArg &unit, qint16 module, QString &serial) = 0;
    virtual QString GetModuleVersion(const UnitArg &unit, qint16 module, qint16 &major,
                                     qint16 &minor) = 0;

    // Module stored settings
    virtual QString GetProgrammingMode(const UnitArg &unit, qint16 module, qint16 &value) = 0;
    virtual QString SetProgrammingMode(const UnitArg &unit, qint16 module, qint16 value) = 0;
    virtual QString GetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                  qint16 &value) = 0;
    virtual QString SetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                  qint16 value) = 0;
    virtual QString GetDefaultOutputOnOffState(const UnitArg &unit, qint16 module,
                                               qint16 &value) = 0;
    virtual QString SetDefaultOutputOnOffState(const UnitArg &unit, qint16 module,
                                               qint16 value) = 0;
    virtual QString GetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                 qint32 &delayMs) = 0;
    virtual QString SetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                 qint32 delayMs) = 0;
    virtual QString SetOutputTurnONDelay(const UnitArg &unit, qint16 module, qint32 delayMs) = 0;
    virtual QString GetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw) = 0;
    virtual QString SetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 raw) = 0;
    virtual QString GetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 &raw) = 0;
    virtual QString SetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 raw) = 0;
    virtual QString GetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 &raw) = 0;
    virtual QString SetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 raw) = 0;
    virtual QString GetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 &mode,
                                        qint16 &enableReset) = 0;
    virtual QString SetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 mode,
                                        qint16 enableReset) = 0;
    virtual QString GetCurrentLimit(const UnitArg &unit, qint16 module, qint16 &raw) = 0;
    virtual QString SetCurrentLimit(const UnitArg &unit, qint16 module, qint16 raw) = 0;
    virtual QString GetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                  qint32 &timeMs) = 0;
    virtual QString SetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                  qint32 timeMs) = 0;
    virtual QString GetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                   qint32 &timeMs) = 0;
    virtual QString SetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                   qint32 timeMs) = 0;
    virtual QString GetGroupID(const UnitArg &unit, qint16 module, qint16 &group) = 0;
    virtual QString SetGroupID(const UnitArg &unit, qint16 module, qint16 group) = 0;

    // Module live state
    virtual QString SetOutputState(const UnitArg &unit, qint16 module, qint16 state) = 0;
    virtual QString SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw) = 0;
    virtual QString MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw) = 0;
    virtual QString MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw) = 0;
};
