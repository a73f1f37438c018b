#include "device/SimulatedBus.h"

#include "core/Clock.h"
#include "core/DeviceRegistry.h"
#include "core/Seams.h"
#include "core/SettingsKeys.h"
#include "core/ZelkGlobals.h"
#include "device/SerialBus.h"
#include "device/SimBusIniKeys.h"
#include "device/SimBusReport.h"

#include <QDir>
#include <cmath>
#include <limits>

namespace K = SimBusIniKeys;

namespace {

const QString Ok = QStringLiteral("CMD_OK");
const QString PortClosed = QStringLiteral("ERR_PORT_CLOSED");
const QString PortUnavailable = QStringLiteral("ERR_PORT_UNAVAILABLE");
const QString Range = QStringLiteral("ERR_RANGE");
const QString Timeout = QStringLiteral("ERR_TIMEOUT");
const QString NoModule = QStringLiteral("ERR_NO_MODULE");
const QString IdInUse = QStringLiteral("ERR_ID_IN_USE");

constexpr qint64 MsPerHour = 3600000;
constexpr int MaxDelayMs = 65535;

qint64 now()
{
    return Seams::clock().monotonicMs();
}

bool validModule(int module)
{
    return module >= 1 && module <= 5;
}

// A module number 0..5 as four flags, most significant first.
void putNibble(StatusArray &array, int first, int value)
{
    for (int bit = 0; bit < 4; ++bit)
        array.set(first + bit, (value >> (3 - bit)) & 1);
}

} // namespace

SimulatedBus::SimulatedBus(const QString &applicationFolder, const QString &scaleIniPath)
    : m_lock(QDir(applicationFolder).filePath(K::FileName))
    , m_store(applicationFolder)
    , m_ratings(scaleIniPath.isEmpty() ? QDir(applicationFolder).filePath(SettingsFiles::Scale)
                                       : scaleIniPath)
    , m_physics(m_ratings)
{
    // Another program's units are left alone: this bus then has none.
    if (m_lock.held())
        m_store.load();
    else
        m_lock.tellInUse(applicationFolder);
    for (int n = 1; n <= 9; ++n)
        m_ports << QStringLiteral("COM") + QString::number(n);
    m_ports += m_store.extraPorts();
    if (m_faults.addRules(m_store.faultRules()) > 0) {
        SimBusReport::toErrorFile(applicationFolder,
                                  QStringLiteral("Simulated bus: unreadable [%1] rules in %2 "
                                                 "were skipped")
                                      .arg(K::FaultsSection, m_store.path()));
    }
    // Line timing is what the user should feel; a test clock only moves when
    // asked, so tests get it when they ask for it.
    const bool realTime = dynamic_cast<SystemClock *>(&Seams::clock()) != nullptr;
    m_wire.setEnabled(m_store.wireModel().value_or(realTime));
    m_wire.setReadParams(m_readTimeout, m_retryCount);

    const qint64 t = now();
    m_live.resize(m_store.units().size());
    for (std::size_t i = 0; i < m_live.size(); ++i) {
        const SimUnitSettings &s = m_store.units()[i];
        SimUnitLive &l = m_live[i];
        l.hoursEpochMs = t;
        for (int m = 1; m <= 5; ++m)
            l.module(m).loadOhms = s.module(m).loadOhms;
        m_physics.recycle(s, l, t, false);
    }
    rebuildIdMap();
}

SimulatedBus::~SimulatedBus() = default;

void SimulatedBus::rebuildIdMap()
{
    m_indexById.fill(-1);
    const auto &units = m_store.units();
    for (std::size_t i = 0; i < units.size(); ++i)
        m_indexById[units[i].unitId] = static_cast<int>(i);
}

int SimulatedBus::indexOf(int unitId) const
{
    return unitId >= 1 && unitId <= 32 ? m_indexById[unitId] : -1;
}

template<typename Body>
QString SimulatedBus::onUnit(const char *method, const UnitArg &unit, int module, Payload payload,
                             Body &&body)
{
    if (!m_portOpen)
        return PortClosed;
    const int id = unit.number();
    if (id < 1 || id > 32 || module < 0 || module > 5)
        return Range; // refused before anything goes on the line
    int index = indexOf(id);
    if (index < 0 || m_store.units()[index].silent) {
        m_wire.noAnswer();
        return Timeout;
    }
    m_wire.exchange(payload.request, payload.answer);
    // Window events ran while the line was busy: the port or the ID may have changed.
    if (!m_portOpen)
        return PortClosed;
    index = indexOf(id);
    if (index < 0)
        return Timeout;
    if (!m_faults.empty()) {
        if (auto reply = m_faults.take(method, id, module))
            return *reply;
    }
    return body(unitAt(index));
}

template<typename Body>
QString SimulatedBus::onModule(const char *method, const UnitArg &unit, qint16 module,
                               Payload payload, Body &&body)
{
    if (m_portOpen && !validModule(module))
        return Range;
    return onUnit(method, unit, module, payload, [&](Unit u) {
        if (!u.s.module(module).present())
            return NoModule;
        return body(u, u.s.module(module));
    });
}

template<typename Field>
QString SimulatedBus::storeUnit(Unit u, Field &field, qint64 value, qint64 max, const QString &key)
{
    if (value < 0 || value > max)
        return Range;
    if (field != value) {
        field = static_cast<Field>(value);
        m_store.writeUnit(u.s, key, QString::number(value));
    }
    return Ok;
}

template<typename Field>
QString SimulatedBus::storeModule(Unit u, int m, Field &field, qint64 value, qint64 max,
                                  const QString &key, bool decidesCurrent)
{
    if (value < 0 || value > max)
        return Range;
    if (field != value) {
        if (decidesCurrent)
            m_physics.touch(u.s, u.l, m, now());
        field = static_cast<Field>(value);
        m_store.writeModule(u.s, m, key, QString::number(value));
    }
    return Ok;
}

qint32 SimulatedBus::operatingHours(Unit u, qint64 t)
{
    const qint64 hours = (t - u.l.hoursEpochMs) / MsPerHour;
    if (hours > 0) {
        u.l.hoursEpochMs += hours * MsPerHour;
        u.s.operatingHours = static_cast<qint32>(
            qMin<qint64>(qint64(u.s.operatingHours) + hours, std::numeric_limits<qint32>::max()));
        m_store.writeUnit(u.s, K::OperatingHours, QString::number(u.s.operatingHours));
    }
    return u.s.operatingHours;
}

// ---- the bus's own controls ----

QList<int> SimulatedBus::unitIds() const
{
    QList<int> ids;
    for (int id = 1; id <= 32; ++id) {
        if (m_indexById[id] >= 0)
            ids << id;
    }
    return ids;
}

bool SimulatedBus::recycle(int unitId)
{
    const int index = indexOf(unitId);
    if (index < 0)
        return false;
    Unit u = unitAt(index);
    m_physics.recycle(u.s, u.l, now(), true);
    return true;
}

bool SimulatedBus::setLoadResistance(int unitId, int module, double ohms)
{
    const int index = indexOf(unitId);
    if (index < 0 || !validModule(module) || !(ohms >= 0))
        return false;
    Unit u = unitAt(index);
    m_physics.touch(u.s, u.l, module, now());
    u.l.module(module).loadOhms = ohms;
    u.l.module(module).loadAmps.reset();
    return true;
}

bool SimulatedBus::setLoadCurrent(int unitId, int module, double amps)
{
    const int index = indexOf(unitId);
    if (index < 0 || !validModule(module) || !std::isfinite(amps) || amps < 0)
        return false;
    Unit u = unitAt(index);
    if (!u.s.module(module).present())
        return false;
    m_physics.touch(u.s, u.l, module, now());
    u.l.module(module).loadAmps = amps;
    return true;
}

bool SimulatedBus::setModuleType(int unitId, int module, qint16 typeCode)
{
    const int index = indexOf(unitId);
    if (index < 0 || !validModule(module) || typeCode < 0)
        return false;
    Unit u = unitAt(index);
    u.s.module(module).typeCode = typeCode;
    m_store.writeModule(u.s, module, K::TypeCode, QString::number(typeCode));
    return true;
}

std::optional<qint16> SimulatedBus::liveSetpoint(int unitId, int module) const
{
    const int index = indexOf(unitId);
    if (index < 0 || !validModule(module) || !m_store.units()[index].module(module).present())
        return std::nullopt;
    return m_live[index].module(module).setpoint;
}

bool SimulatedBus::setUnitSilent(int unitId, bool silent)
{
    const int index = indexOf(unitId);
    if (index < 0)
        return false;
    m_store.units()[index].silent = silent;
    return true;
}

bool SimulatedBus::forceAlarm(int unitId, int element, bool on)
{
    const int index = indexOf(unitId);
    if (index < 0 || element < 1 || element > 8)
        return false;
    m_store.units()[index].forcedAlarms[element] = on;
    return true;
}

void SimulatedBus::failMethod(const QString &method, const QString &reply, int unitId, int module,
                              SimBusFaults::Count count)
{
    m_faults.add(method, unitId, module, count, reply);
}

// ---- port and identity ----

void SimulatedBus::SetINIParams(qint16 &readTimeout, qint16 &retryCount)
{
    m_readTimeout = readTimeout;
    m_retryCount = retryCount;
    m_wire.setReadParams(readTimeout, retryCount);
}

QString SimulatedBus::OpenPort(const QString &port)
{
    if (!m_lock.held())
        return QStringLiteral("ERR_BUS_IN_USE");
    if (m_portOpen || !m_ports.contains(port))
        return PortUnavailable;
    m_portOpen = true;
    return Ok;
}

QString SimulatedBus::ClosePort()
{
    if (m_portOpen) {
        // Hours are counted when asked for; a closing port is a good moment too.
        const qint64 t = now();
        for (std::size_t i = 0; i < m_live.size(); ++i)
            operatingHours(unitAt(static_cast<int>(i)), t);
    }
    m_portOpen = false;
    return Ok;
}

QString SimulatedBus::WhoAmI()
{
    return QStringLiteral("ZelkX.Zelk.1 simulated bus, version 1.0");
}

// ---- unit addressing ----

QString SimulatedBus::GetUnitID(qint16 &id, qint16 &result)
{
    return onUnit("GetUnitID", UnitArg(id), 0, {0, 1}, [&](Unit u) {
        result = u.s.unitId;
        return Ok;
    });
}

QString SimulatedBus::ProbeUnit(qint16 unit)
{
    if (!m_portOpen)
        return PortClosed;
    if (unit < 1 || unit > 32)
        return Range;
    const int index = indexOf(unit);
    if (index < 0 || m_store.units()[index].silent) {
        m_wire.probeNoAnswer(SerialBus::silentTimeoutSetting());
        return Timeout;
    }
    m_wire.exchange(0, 1);
    return m_portOpen ? Ok : PortClosed; // window events ran meanwhile
}

QString SimulatedBus::SetNewUnitID(qint16 &oldId, qint16 &newId)
{
    if (m_portOpen && (newId < 1 || newId > 32))
        return Range;
    return onUnit("SetNewUnitID", UnitArg(oldId), 0, {1, 0}, [&](Unit u) {
        if (newId == u.s.unitId)
            return Ok;
        if (indexOf(newId) >= 0)
            return IdInUse; // two units on one ID would garble every answer
        u.s.unitId = newId;
        m_store.writeUnit(u.s, K::UnitId, QString::number(newId));
        rebuildIdMap();
        return Ok;
    });
}

// ---- unit status bytes ----

QString SimulatedBus::GetPresentModules(const UnitArg &unit, StatusArray &modules)
{
    return onUnit("GetPresentModules", unit, 0, {0, 1}, [&](Unit u) {
        modules.clear();
        for (int m = 1; m <= 5; ++m)
            modules.set(m, u.s.module(m).present() ? 1 : 0);
        return Ok;
    });
}

QString SimulatedBus::GetModuleGoodStatusByte(const UnitArg &unit, StatusArray &status)
{
    return onUnit("GetModuleGoodStatusByte", unit, 0, {0, 1}, [&](Unit u) {
        status = m_physics.moduleGood(u.s, u.l, now());
        return Ok;
    });
}

QString SimulatedBus::GetGlobalStatusByte(const UnitArg &unit, StatusArray &status)
{
    return onUnit("GetGlobalStatusByte", unit, 0, {0, 1}, [&](Unit u) {
        status = m_physics.globalStatus(u.s, u.l, now());
        return Ok;
    });
}

QString SimulatedBus::GetOutputState(const UnitArg &unit, StatusArray &status)
{
    return onUnit("GetOutputState", unit, 0, {0, 1}, [&](Unit u) {
        status = m_physics.outputState(u.s, u.l, now());
        return Ok;
    });
}

QString SimulatedBus::GetMasterSlaveMode(const UnitArg &unit, StatusArray &first,
                                         StatusArray &second)
{
    // Four module numbers: master and slave of group 2, then of group 3.
    return onUnit("GetMasterSlaveMode", unit, 0, {0, 2}, [&](Unit u) {
        std::array<int, 4> modules{};
        for (int m = 1; m <= 5; ++m) {
            const SimModuleSettings &x = u.s.module(m);
            if (!x.present() || x.groupId < 2 || x.masterSlave == 0)
                continue;
            int &slot = modules[(x.groupId - 2) * 2 + (x.masterSlave - 1)];
            if (slot == 0)
                slot = m;
        }
        putNibble(first, 1, modules[0]);
        putNibble(first, 5, modules[1]);
        putNibble(second, 1, modules[2]);
        putNibble(second, 5, modules[3]);
        return Ok;
    });
}

// ---- unit identity and options ----

QString SimulatedBus::GetUnitSerialN(const UnitArg &unit, QString &serial)
{
    return onUnit("GetUnitSerialN", unit, 0, {0, 12}, [&](Unit u) {
        serial = u.s.serialNumber;
        return Ok;
    });
}

QString SimulatedBus::GetUnitVersion(const UnitArg &unit, qint16 &major, qint16 &minor)
{
    return onUnit("GetUnitVersion", unit, 0, {0, 2}, [&](Unit u) {
        major = u.s.majorVersion;
        minor = u.s.minorVersion;
        return Ok;
    });
}

QString SimulatedBus::GetOperatingHoursString(const UnitArg &unit, QString &hours)
{
    return onUnit("GetOperatingHoursString", unit, 0, {0, 4}, [&](Unit u) {
        hours = QString::number(operatingHours(u, now()));
        return Ok;
    });
}

QString SimulatedBus::GetFanFailPolarity(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetFanFailPolarity", unit, 0, {0, 1}, [&](Unit u) {
        value = u.s.fanFailPolarity;
        return Ok;
    });
}

QString SimulatedBus::SetFanFailPolarity(const UnitArg &unit, qint16 value)
{
    return onUnit("SetFanFailPolarity", unit, 0, {1, 0}, [&](Unit u) {
        return storeUnit(u, u.s.fanFailPolarity, value, 1, K::FanFailPolarity);
    });
}

QString SimulatedBus::GetGlobalDCGoodPolarity(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetGlobalDCGoodPolarity", unit, 0, {0, 1}, [&](Unit u) {
        value = u.s.dcGoodPolarity;
        return Ok;
    });
}

QString SimulatedBus::SetGlobalDCGoodPolarity(const UnitArg &unit, qint16 value)
{
    return onUnit("SetGlobalDCGoodPolarity", unit, 0, {1, 0}, [&](Unit u) {
        return storeUnit(u, u.s.dcGoodPolarity, value, 1, K::DcGoodPolarity);
    });
}

QString SimulatedBus::GetOTFailPolarity(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetOTFailPolarity", unit, 0, {0, 1}, [&](Unit u) {
        value = u.s.otFailPolarity;
        return Ok;
    });
}

QString SimulatedBus::SetOTFailPolarity(const UnitArg &unit, qint16 value)
{
    return onUnit("SetOTFailPolarity", unit, 0, {1, 0}, [&](Unit u) {
        return storeUnit(u, u.s.otFailPolarity, value, 1, K::OtFailPolarity);
    });
}

QString SimulatedBus::GetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetDefaultGlobalOutputPolarity", unit, 0, {0, 1}, [&](Unit u) {
        value = u.s.defaultGlobalPolarity;
        return Ok;
    });
}

QString SimulatedBus::SetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 value)
{
    return onUnit("SetDefaultGlobalOutputPolarity", unit, 0, {1, 0}, [&](Unit u) {
        return storeUnit(u, u.s.defaultGlobalPolarity, value, 1, K::DefaultGlobalPolarity);
    });
}

QString SimulatedBus::GetDefaultGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetDefaultGlobalOutputState", unit, 0, {0, 1}, [&](Unit u) {
        value = u.s.defaultGlobalState;
        return Ok;
    });
}

QString SimulatedBus::SetDefaultGlobalOutputState(const UnitArg &unit, qint16 value)
{
    return onUnit("SetDefaultGlobalOutputState", unit, 0, {1, 0}, [&](Unit u) {
        return storeUnit(u, u.s.defaultGlobalState, value, 1, K::DefaultGlobalState);
    });
}

QString SimulatedBus::GetDefaultGroupState(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetDefaultGroupState", unit, 0, {0, 1}, [&](Unit u) {
        value = u.s.defaultGroupState;
        return Ok;
    });
}

QString SimulatedBus::SetDefaultGroupState(const UnitArg &unit, qint16 value)
{
    return onUnit("SetDefaultGroupState", unit, 0, {1, 0}, [&](Unit u) {
        return storeUnit(u, u.s.defaultGroupState, value, 1, K::DefaultGroupState);
    });
}

// ---- live unit outputs ----

QString SimulatedBus::GetGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetGlobalOutputState", unit, 0, {0, 1}, [&](Unit u) {
        value = static_cast<qint16>(100 + (u.l.globalOn ? 10 : 0) + (u.l.groupOn ? 1 : 0));
        return Ok;
    });
}

QString SimulatedBus::SetGlobalOutputState(const UnitArg &unit, qint16 state)
{
    return onUnit("SetGlobalOutputState", unit, 0, {1, 0}, [&](Unit u) {
        if (state != 0 && state != 1)
            return Range;
        m_physics.setGlobal(u.s, u.l, state == 1, now());
        return Ok;
    });
}

QString SimulatedBus::GetGroupState(const UnitArg &unit, qint16 &value)
{
    return onUnit("GetGroupState", unit, 0, {0, 1}, [&](Unit u) {
        value = u.l.groupOn ? 1 : 0;
        return Ok;
    });
}

QString SimulatedBus::SetGroupState(const UnitArg &unit, qint16 state)
{
    return onUnit("SetGroupState", unit, 0, {1, 0}, [&](Unit u) {
        if (state != 0 && state != 1)
            return Range;
        m_physics.setGroup(u.s, u.l, state == 1, now());
        return Ok;
    });
}

// ---- module identity ----

QString SimulatedBus::GetModuleType(const UnitArg &unit, qint16 module, qint16 &code)
{
    // An empty position answers too: with the code of "Not Present".
    if (m_portOpen && !validModule(module))
        return Range;
    return onUnit("GetModuleType", unit, module, {1, 2}, [&](Unit u) {
        code = u.s.module(module).typeCode;
        return Ok;
    });
}

QString SimulatedBus::GetModuleSerialN(const UnitArg &unit, qint16 module, QString &serial)
{
    return onModule("GetModuleSerialN", unit, module, {1, 12}, [&](Unit, SimModuleSettings &x) {
        serial = x.serialNumber;
        return Ok;
    });
}

QString SimulatedBus::GetModuleVersion(const UnitArg &unit, qint16 module, qint16 &major,
                                       qint16 &minor)
{
    return onModule("GetModuleVersion", unit, module, {1, 2}, [&](Unit, SimModuleSettings &x) {
        major = x.majorVersion;
        minor = x.minorVersion;
        return Ok;
    });
}

// ---- module stored settings ----

QString SimulatedBus::GetProgrammingMode(const UnitArg &unit, qint16 module, qint16 &value)
{
    return onModule("GetProgrammingMode", unit, module, {1, 1}, [&](Unit, SimModuleSettings &x) {
        value = x.programmingMode;
        return Ok;
    });
}

QString SimulatedBus::SetProgrammingMode(const UnitArg &unit, qint16 module, qint16 value)
{
    return onModule("SetProgrammingMode", unit, module, {2, 0}, [&](Unit u, SimModuleSettings &x) {
        return storeModule(u, module, x.programmingMode, value, 1, K::ProgrammingMode);
    });
}

QString SimulatedBus::GetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                    qint16 &value)
{
    return onModule("GetDefaultOutputOnOffPolarity", unit, module, {1, 1},
                    [&](Unit, SimModuleSettings &x) {
                        value = x.onOffPolarity;
                        return Ok;
                    });
}

QString SimulatedBus::SetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                                    qint16 value)
{
    return onModule("SetDefaultOutputOnOffPolarity", unit, module, {2, 0},
                    [&](Unit u, SimModuleSettings &x) {
                        return storeModule(u, module, x.onOffPolarity, value, 1, K::OnOffPolarity);
                    });
}

QString SimulatedBus::GetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 &value)
{
    return onModule("GetDefaultOutputOnOffState", unit, module, {1, 1},
                    [&](Unit, SimModuleSettings &x) {
                        value = x.startUpState;
                        return Ok;
                    });
}

QString SimulatedBus::SetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 value)
{
    return onModule("SetDefaultOutputOnOffState", unit, module, {2, 0},
                    [&](Unit u, SimModuleSettings &x) {
                        return storeModule(u, module, x.startUpState, value, 1, K::StartUpState);
                    });
}

QString SimulatedBus::GetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                   qint32 &delayMs)
{
    return onModule("GetOutputTurnONDelayExUShort", unit, module, {1, 4},
                    [&](Unit, SimModuleSettings &x) {
                        delayMs = x.turnOnDelayMs;
                        return Ok;
                    });
}

QString SimulatedBus::SetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                                   qint32 delayMs)
{
    return onModule(
        "SetOutputTurnONDelayExUShort", unit, module, {5, 0}, [&](Unit u, SimModuleSettings &x) {
            return storeModule(u, module, x.turnOnDelayMs, delayMs, MaxDelayMs, K::TurnOnDelay);
        });
}

QString SimulatedBus::SetOutputTurnONDelay(const UnitArg &unit, qint16 module, qint32 delayMs)
{
    return onModule(
        "SetOutputTurnONDelay", unit, module, {5, 0}, [&](Unit u, SimModuleSettings &x) {
            return storeModule(u, module, x.turnOnDelayMs, delayMs, MaxDelayMs, K::TurnOnDelay);
        });
}

QString SimulatedBus::GetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return onModule("GetDefaultOutputVoltage", unit, module, {1, 2},
                    [&](Unit, SimModuleSettings &x) {
                        raw = x.defaultVoltage;
                        return Ok;
                    });
}

QString SimulatedBus::SetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 raw)
{
    return onModule(
        "SetDefaultOutputVoltage", unit, module, {3, 0}, [&](Unit u, SimModuleSettings &x) {
            const int max = m_ratings.ratings(x.typeCode).maxSetpointRaw();
            return storeModule(u, module, x.defaultVoltage, raw, max, K::DefaultVoltage);
        });
}

QString SimulatedBus::GetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return onModule("GetModuleGoodHighThreshold", unit, module, {1, 2},
                    [&](Unit, SimModuleSettings &x) {
                        raw = x.goodHigh;
                        return Ok;
                    });
}

QString SimulatedBus::SetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    return onModule("SetModuleGoodHighThreshold", unit, module, {3, 0},
                    [&](Unit u, SimModuleSettings &x) {
                        const int max = m_ratings.ratings(x.typeCode).maxVoltageRaw();
                        return storeModule(u, module, x.goodHigh, raw, max, K::GoodHigh);
                    });
}

QString SimulatedBus::GetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return onModule("GetModuleGoodLowThreshold", unit, module, {1, 2},
                    [&](Unit, SimModuleSettings &x) {
                        raw = x.goodLow;
                        return Ok;
                    });
}

QString SimulatedBus::SetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    return onModule("SetModuleGoodLowThreshold", unit, module, {3, 0},
                    [&](Unit u, SimModuleSettings &x) {
                        const int max = m_ratings.ratings(x.typeCode).maxVoltageRaw();
                        return storeModule(u, module, x.goodLow, raw, max, K::GoodLow);
                    });
}

QString SimulatedBus::GetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 &mode,
                                          qint16 &enableReset)
{
    return onModule("GetCurrentLimitMode", unit, module, {1, 2}, [&](Unit, SimModuleSettings &x) {
        mode = x.currentLimitMode;
        enableReset = x.enableReset;
        return Ok;
    });
}

QString SimulatedBus::SetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 mode,
                                          qint16 enableReset)
{
    return onModule("SetCurrentLimitMode", unit, module, {3, 0}, [&](Unit u, SimModuleSettings &x) {
        if (mode < 0 || mode > 3 || enableReset < 0 || enableReset > 1)
            return Range;
        storeModule(u, module, x.currentLimitMode, mode, 3, K::CurrentLimitMode, true);
        return storeModule(u, module, x.enableReset, enableReset, 1, K::EnableReset);
    });
}

QString SimulatedBus::GetCurrentLimit(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return onModule("GetCurrentLimit", unit, module, {1, 2}, [&](Unit, SimModuleSettings &x) {
        raw = x.currentLimit;
        return Ok;
    });
}

QString SimulatedBus::SetCurrentLimit(const UnitArg &unit, qint16 module, qint16 raw)
{
    return onModule("SetCurrentLimit", unit, module, {3, 0}, [&](Unit u, SimModuleSettings &x) {
        const int max = m_ratings.ratings(x.typeCode).maxCurrentRaw();
        return storeModule(u, module, x.currentLimit, raw, max, K::CurrentLimit, true);
    });
}

QString SimulatedBus::GetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                    qint32 &timeMs)
{
    return onModule("GetCurrentLimitONTimeExUShort", unit, module, {1, 4},
                    [&](Unit, SimModuleSettings &x) {
                        timeMs = x.limitOnMs;
                        return Ok;
                    });
}

QString SimulatedBus::SetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                                    qint32 timeMs)
{
    return onModule("SetCurrentLimitONTimeExUShort", unit, module, {5, 0},
                    [&](Unit u, SimModuleSettings &x) {
                        return storeModule(u, module, x.limitOnMs, timeMs, MaxDelayMs,
                                           K::CurrentLimitOnTime, true);
                    });
}

QString SimulatedBus::GetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                     qint32 &timeMs)
{
    return onModule("GetCurrentLimitOFFTimeExUShort", unit, module, {1, 4},
                    [&](Unit, SimModuleSettings &x) {
                        timeMs = x.limitOffMs;
                        return Ok;
                    });
}

QString SimulatedBus::SetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                     qint32 timeMs)
{
    return onModule("SetCurrentLimitOFFTimeExUShort", unit, module, {5, 0},
                    [&](Unit u, SimModuleSettings &x) {
                        return storeModule(u, module, x.limitOffMs, timeMs, MaxDelayMs,
                                           K::CurrentLimitOffTime, true);
                    });
}

QString SimulatedBus::GetGroupID(const UnitArg &unit, qint16 module, qint16 &group)
{
    return onModule("GetGroupID", unit, module, {1, 1}, [&](Unit, SimModuleSettings &x) {
        group = x.groupId;
        return Ok;
    });
}

QString SimulatedBus::SetGroupID(const UnitArg &unit, qint16 module, qint16 group)
{
    return onModule("SetGroupID", unit, module, {2, 0}, [&](Unit u, SimModuleSettings &x) {
        if (group < 1)
            return Range; // groups are 1 (ungrouped), 2 and 3
        return storeModule(u, module, x.groupId, group, 3, K::GroupId);
    });
}

// ---- module live state ----

QString SimulatedBus::SetOutputState(const UnitArg &unit, qint16 module, qint16 state)
{
    return onModule("SetOutputState", unit, module, {2, 0}, [&](Unit u, SimModuleSettings &) {
        if (state != 0 && state != 1)
            return Range;
        m_physics.setOutput(u.s, u.l, module, state == 1, now());
        return Ok;
    });
}

QString SimulatedBus::SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw)
{
    return onModule("SetOutputVoltageSetpoint", unit, module, {3, 0},
                    [&](Unit u, SimModuleSettings &x) {
                        if (raw < 0 || raw > m_ratings.ratings(x.typeCode).maxSetpointRaw())
                            return Range;
                        m_physics.touch(u.s, u.l, module, now());
                        u.l.module(module).setpoint = raw;
                        return Ok;
                    });
}

QString SimulatedBus::MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return onModule("MeasureOutputVoltage", unit, module, {1, 2}, [&](Unit u, SimModuleSettings &) {
        raw = m_physics.measureVoltage(u.s, u.l, module, now());
        return Ok;
    });
}

QString SimulatedBus::MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return onModule("MeasureOutputCurrent", unit, module, {1, 2}, [&](Unit u, SimModuleSettings &) {
        raw = m_physics.measureCurrent(u.s, u.l, module, now());
        return Ok;
    });
}

void registerSimulatedBus()
{
    registerDeviceObject(ZelkGlobals::DeviceIdentifier, [] {
        return std::make_unique<SimulatedBus>(ZelkGlobals::ApplicationFolder);
    });
}
