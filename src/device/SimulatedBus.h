#pragma once

#include "core/ZelkDevice.h"
#include "device/SimBusFaults.h"
#include "device/SimBusLock.h"
#include "device/SimBusPhysics.h"
#include "device/SimBusRatings.h"
#include "device/SimBusStore.h"
#include "device/SimBusWire.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

// The default device object: a bus of virtual units that behave like the
// supplies. Stored settings live in simbus.ini (SimBusStore), behaviour in
// SimBusPhysics, line timing in SimBusWire, injected failures in SimBusFaults.
//
// Replies: "CMD_OK"; "ERR_PORT_CLOSED" (no port open), "ERR_PORT_UNAVAILABLE"
// (unknown port or already open), "ERR_RANGE" (unit, module or value out of
// range), "ERR_TIMEOUT" (no unit answers at that ID), "ERR_NO_MODULE" (no
// module in that position), "ERR_ID_IN_USE" (SetNewUnitID onto another unit).
class SimulatedBus final : public ZelkDevice
{
public:
    // Ratings come from scale.ini in the folder unless scaleIniPath names another.
    explicit SimulatedBus(const QString &applicationFolder, const QString &scaleIniPath = {});
    ~SimulatedBus() override;

    qint16 readTimeout() const { return m_readTimeout; }
    qint16 retryCount() const { return m_retryCount; }
    bool portOpen() const { return m_portOpen; }

    // The bus's own controls, for tests and tools; no device call uses them.
    // Each returns false when no unit has that ID (or the module is absent).
    QString busFilePath() const { return m_store.path(); }
    // Who holds the bus when another program does (this one then has no
    // units and opens no port); empty while this process holds it.
    QString busHolder() const { return m_lock.held() ? QString() : m_lock.holder(); }
    QList<int> unitIds() const;
    // Power off and on: start-up states, turn-on delays and groups apply.
    bool recycle(int unitId);
    // A module has one load: a resistance, or a constant current (amps >= 0,
    // finite; the module must be fitted), each replacing the other.
    bool setLoadResistance(int unitId, int module, double ohms);
    bool setLoadCurrent(int unitId, int module, double amps);
    // A stored type code; one without a scale.ini section makes an unrated module.
    bool setModuleType(int unitId, int module, qint16 typeCode);
    bool setUnitSilent(int unitId, bool silent);
    // element 1..8 of the global status byte put in its alarm state.
    bool forceAlarm(int unitId, int element, bool on);
    // method fails with reply; unitId or module 0 stands for any.
    void failMethod(const QString &method, const QString &reply, int unitId = 0, int module = 0,
                    SimBusFaults::Count count = SimBusFaults::Count::Always);
    void clearFailures() { m_faults.clear(); }
    void setWireModelEnabled(bool on) { m_wire.setEnabled(on); }
    bool wireModelEnabled() const { return m_wire.enabled(); }
    // Bytes and line time of the last call that reached the line.
    int lastCallBytes() const { return m_wire.lastBytes(); }
    qint64 lastCallLineTimeUs() const { return m_wire.lastTimeUs(); }
    void setNoiseEnabled(bool on) { m_physics.setNoiseEnabled(on); }
    // The set-point a fitted module works to now (raw), which no device
    // method reads; nothing for an empty position or an unknown unit.
    std::optional<qint16> liveSetpoint(int unitId, int module) const;

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
    // The value's decimal text is "1", then the global output's digit, then
    // the group's: 100 all off, 110 global on, 111 global and group on.
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
    // Modes 0 Normal, 1 Latching, 2 Hiccup, 3 CurrentShare (limits as Normal).
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
    // The live set-point; the stored default comes back at the next power-up.
    QString SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw) override;

private:
    struct Unit
    {
        SimUnitSettings &s;
        SimUnitLive &l;
    };
    // Bytes a request and its answer carry beyond the frame.
    struct Payload
    {
        int request;
        int answer;
    };

    template<typename Body>
    QString onUnit(const char *method, const UnitArg &unit, int module, Payload payload,
                   Body &&body);
    template<typename Body>
    QString onModule(const char *method, const UnitArg &unit, qint16 module, Payload payload,
                     Body &&body);
    template<typename Field>
    QString storeUnit(Unit u, Field &field, qint64 value, qint64 max, const QString &key);
    template<typename Field>
    QString storeModule(Unit u, int m, Field &field, qint64 value, qint64 max, const QString &key,
                        bool decidesCurrent = false);
    int indexOf(int unitId) const;
    Unit unitAt(int index) { return {m_store.units()[index], m_live[index]}; }
    void rebuildIdMap();
    qint32 operatingHours(Unit u, qint64 now);

    SimBusLock m_lock; // taken before the store is read, released after its last write
    SimBusStore m_store;
    SimBusRatings m_ratings;
    SimBusPhysics m_physics;
    SimBusWire m_wire;
    SimBusFaults m_faults;
    std::vector<SimUnitLive> m_live; // beside m_store.units(), same order
    std::array<int, 33> m_indexById{};
    QStringList m_ports;
    bool m_portOpen = false;
    qint16 m_readTimeout = 1000;
    qint16 m_retryCount = 2;
};

// Makes "ZelkX.Zelk.1" create a SimulatedBus in the application folder.
void registerSimulatedBus();
