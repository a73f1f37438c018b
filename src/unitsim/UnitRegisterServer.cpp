#include "unitsim/UnitRegisterServer.h"

#include "core/ZelkRoutines.h"
#include "device/ModbusFrame.h"
#include "device/SimulatedBus.h"

#include <algorithm>

namespace F = ModbusFrame;
namespace R = ZelkRegisters;

namespace {

const QString NoModuleReply = QStringLiteral("ERR_NO_MODULE");
const QString RangeReply = QStringLiteral("ERR_RANGE");
const QString TimeoutReply = QStringLiteral("ERR_TIMEOUT");

using Values = std::array<quint16, 6>;
using Bus = SimulatedBus;

// Member functions of the device object by the shape of their values.
using UnitGet = QString (ZelkDevice::*)(const UnitArg &, qint16 &);
using UnitSet = QString (ZelkDevice::*)(const UnitArg &, qint16);
using FlagsGet = QString (ZelkDevice::*)(const UnitArg &, StatusArray &);
using ModuleGet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16 &);
using ModuleSet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16);
using TimeGet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint32 &);
using TimeSet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint32);

// A register written into a qint16 argument: above 32767 it cannot be one.
bool fitsInt16(quint16 value)
{
    return value <= 0x7FFF;
}

} // namespace

UnitRegisterServer::UnitRegisterServer(SimulatedBus &bus)
    : m_bus(bus)
{
    using T = Table;
    const auto add = [this](Table t, quint16 address, int count, int module, auto get, auto set) {
        m_fields.push_back({t, address, count, module, get, set});
    };
    const auto number = [&](quint16 address, UnitGet get, UnitSet set) {
        add(
            T::Holding, address, 1, 0,
            [get](Bus &b, const UnitArg &u, int, Values &v) {
                qint16 x = 0;
                const QString r = (b.*get)(u, x);
                v[0] = quint16(x);
                return r;
            },
            [set](Bus &b, const UnitArg &u, int, const Values &v) {
                return fitsInt16(v[0]) ? (b.*set)(u, qint16(v[0])) : RangeReply;
            });
    };
    const auto flags = [&](quint16 address, FlagsGet get) {
        add(
            T::Input, address, 1, 0,
            [get](Bus &b, const UnitArg &u, int, Values &v) {
                StatusArray a;
                const QString r = (b.*get)(u, a);
                v[0] = R::flags(a);
                return r;
            },
            nullptr);
    };

    // ---- stored settings of the unit ----
    add(
        T::Holding, R::UnitId, 1, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            qint16 id = qint16(u.number()), result = 0;
            const QString r = b.GetUnitID(id, result);
            v[0] = quint16(result);
            return r;
        },
        [](Bus &b, const UnitArg &u, int, const Values &v) {
            qint16 from = qint16(u.number()), to = qint16(v[0]);
            return fitsInt16(v[0]) ? b.SetNewUnitID(from, to) : RangeReply;
        });
    add(
        T::Holding, R::UnitSerial, R::SerialRegisters, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            QString serial;
            const QString r = b.GetUnitSerialN(u, serial);
            R::putText(serial, std::span(v.data(), R::SerialRegisters));
            return r;
        },
        nullptr);
    add(
        T::Holding, R::UnitVersion, 2, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            qint16 major = 0, minor = 0;
            const QString r = b.GetUnitVersion(u, major, minor);
            v[0] = quint16(major), v[1] = quint16(minor);
            return r;
        },
        nullptr);
    number(R::FanFailPolarity, &ZelkDevice::GetFanFailPolarity, &ZelkDevice::SetFanFailPolarity);
    number(R::DcGoodPolarity, &ZelkDevice::GetGlobalDCGoodPolarity,
           &ZelkDevice::SetGlobalDCGoodPolarity);
    number(R::OtFailPolarity, &ZelkDevice::GetOTFailPolarity, &ZelkDevice::SetOTFailPolarity);
    number(R::DefaultGlobalPolarity, &ZelkDevice::GetDefaultGlobalOutputPolarity,
           &ZelkDevice::SetDefaultGlobalOutputPolarity);
    number(R::DefaultGlobalState, &ZelkDevice::GetDefaultGlobalOutputState,
           &ZelkDevice::SetDefaultGlobalOutputState);
    number(R::DefaultGroupState, &ZelkDevice::GetDefaultGroupState,
           &ZelkDevice::SetDefaultGroupState);

    // ---- stored settings of each module position ----
    for (int m = 1; m <= 5; ++m) {
        const auto at = [m](quint16 offset) {
            return R::moduleRegister(m, offset);
        };
        const auto moduleNumber = [&](quint16 offset, ModuleGet get, ModuleSet set) {
            add(
                T::Holding, at(offset), 1, m,
                [get](Bus &b, const UnitArg &u, int module, Values &v) {
                    qint16 x = 0;
                    const QString r = (b.*get)(u, qint16(module), x);
                    v[0] = quint16(x);
                    return r;
                },
                set ? std::function([set](Bus &b, const UnitArg &u, int module, const Values &v) {
                    return fitsInt16(v[0]) ? (b.*set)(u, qint16(module), qint16(v[0])) : RangeReply;
                })
                    : nullptr);
        };
        const auto moduleTime = [&](quint16 offset, TimeGet get, TimeSet set) {
            add(
                T::Holding, at(offset), 1, m,
                [get](Bus &b, const UnitArg &u, int module, Values &v) {
                    qint32 x = 0;
                    const QString r = (b.*get)(u, qint16(module), x);
                    v[0] = quint16(x);
                    return r;
                },
                [set](Bus &b, const UnitArg &u, int module, const Values &v) {
                    return (b.*set)(u, qint16(module), qint32(v[0]));
                });
        };
        moduleNumber(R::Module::Type, &ZelkDevice::GetModuleType, nullptr);
        add(
            T::Holding, at(R::Module::Serial), R::SerialRegisters, m,
            [](Bus &b, const UnitArg &u, int module, Values &v) {
                QString serial;
                const QString r = b.GetModuleSerialN(u, qint16(module), serial);
                R::putText(serial, std::span(v.data(), R::SerialRegisters));
                return r;
            },
            nullptr);
        add(
            T::Holding, at(R::Module::Version), 2, m,
            [](Bus &b, const UnitArg &u, int module, Values &v) {
                qint16 major = 0, minor = 0;
                const QString r = b.GetModuleVersion(u, qint16(module), major, minor);
                v[0] = quint16(major), v[1] = quint16(minor);
                return r;
            },
            nullptr);
        moduleNumber(R::Module::ProgrammingMode, &ZelkDevice::GetProgrammingMode,
                     &ZelkDevice::SetProgrammingMode);
        moduleNumber(R::Module::OnOffPolarity, &ZelkDevice::GetDefaultOutputOnOffPolarity,
                     &ZelkDevice::SetDefaultOutputOnOffPolarity);
        moduleNumber(R::Module::StartUpState, &ZelkDevice::GetDefaultOutputOnOffState,
                     &ZelkDevice::SetDefaultOutputOnOffState);
        moduleTime(R::Module::TurnOnDelay, &ZelkDevice::GetOutputTurnONDelayExUShort,
                   &ZelkDevice::SetOutputTurnONDelayExUShort);
        moduleNumber(R::Module::DefaultVoltage, &ZelkDevice::GetDefaultOutputVoltage,
                     &ZelkDevice::SetDefaultOutputVoltage);
        moduleNumber(R::Module::GoodHigh, &ZelkDevice::GetModuleGoodHighThreshold,
                     &ZelkDevice::SetModuleGoodHighThreshold);
        moduleNumber(R::Module::GoodLow, &ZelkDevice::GetModuleGoodLowThreshold,
                     &ZelkDevice::SetModuleGoodLowThreshold);
        add(
            T::Holding, at(R::Module::CurrentLimitMode), 2, m,
            [](Bus &b, const UnitArg &u, int module, Values &v) {
                qint16 mode = 0, enableReset = 0;
                const QString r = b.GetCurrentLimitMode(u, qint16(module), mode, enableReset);
                v[0] = quint16(mode), v[1] = quint16(enableReset);
                return r;
            },
            [](Bus &b, const UnitArg &u, int module, const Values &v) {
                return fitsInt16(v[0]) && fitsInt16(v[1])
                           ? b.SetCurrentLimitMode(u, qint16(module), qint16(v[0]), qint16(v[1]))
                           : RangeReply;
            });
        moduleNumber(R::Module::CurrentLimit, &ZelkDevice::GetCurrentLimit,
                     &ZelkDevice::SetCurrentLimit);
        moduleTime(R::Module::LimitOnTime, &ZelkDevice::GetCurrentLimitONTimeExUShort,
                   &ZelkDevice::SetCurrentLimitONTimeExUShort);
        moduleTime(R::Module::LimitOffTime, &ZelkDevice::GetCurrentLimitOFFTimeExUShort,
                   &ZelkDevice::SetCurrentLimitOFFTimeExUShort);
        moduleNumber(R::Module::GroupId, &ZelkDevice::GetGroupID, &ZelkDevice::SetGroupID);
    }

    // ---- live state ----
    flags(R::PresentModules, &ZelkDevice::GetPresentModules);
    flags(R::ModuleGood, &ZelkDevice::GetModuleGoodStatusByte);
    flags(R::GlobalStatus, &ZelkDevice::GetGlobalStatusByte);
    flags(R::OutputState, &ZelkDevice::GetOutputState);
    add(
        T::Input, R::MasterSlave, 2, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            StatusArray first, second;
            const QString r = b.GetMasterSlaveMode(u, first, second);
            v[0] = R::flags(first), v[1] = R::flags(second);
            return r;
        },
        nullptr);
    add(
        T::Input, R::OutputSwitches, 1, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            qint16 value = 0;
            const QString r = b.GetGlobalOutputState(u, value);
            v[0] = R::outputSwitches(value);
            return r;
        },
        nullptr);
    add(
        T::Input, R::OperatingHours, 2, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            QString hours;
            const QString r = b.GetOperatingHoursString(u, hours);
            const quint32 h = hours.toUInt();
            v[0] = quint16(h >> 16), v[1] = quint16(h & 0xFFFF);
            return r;
        },
        nullptr);
    for (int m = 1; m <= 5; ++m) {
        for (const auto &[address, method] :
             {std::pair{R::measuredVoltage(m), &ZelkDevice::MeasureOutputVoltage},
              std::pair{R::measuredCurrent(m), &ZelkDevice::MeasureOutputCurrent}}) {
            add(
                T::Input, address, 1, m,
                [read = method](Bus &b, const UnitArg &u, int module, Values &v) {
                    qint16 raw = 0;
                    const QString r = (b.*read)(u, qint16(module), raw);
                    v[0] = quint16(raw);
                    return r;
                },
                nullptr);
        }
    }

    // ---- live commands ----
    add(
        T::Holding, R::GlobalOutput, 1, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            qint16 value = 0;
            const QString r = b.GetGlobalOutputState(u, value);
            v[0] = R::outputSwitches(value) & 1;
            return r;
        },
        [](Bus &b, const UnitArg &u, int, const Values &v) {
            return fitsInt16(v[0]) ? b.SetGlobalOutputState(u, qint16(v[0])) : RangeReply;
        });
    add(
        T::Holding, R::GroupOutput, 1, 0,
        [](Bus &b, const UnitArg &u, int, Values &v) {
            qint16 value = 0;
            const QString r = b.GetGroupState(u, value);
            v[0] = quint16(value);
            return r;
        },
        [](Bus &b, const UnitArg &u, int, const Values &v) {
            return fitsInt16(v[0]) ? b.SetGroupState(u, qint16(v[0])) : RangeReply;
        });
    for (int m = 1; m <= 5; ++m) {
        add(
            T::Holding, R::moduleOutput(m), 1, m,
            [](Bus &b, const UnitArg &u, int module, Values &v) {
                if (!b.liveSetpoint(u.number(), module))
                    return NoModuleReply;
                StatusArray states;
                const QString r = b.GetOutputState(u, states);
                v[0] = quint16(states(module));
                return r;
            },
            [](Bus &b, const UnitArg &u, int module, const Values &v) {
                return fitsInt16(v[0]) ? b.SetOutputState(u, qint16(module), qint16(v[0]))
                                       : RangeReply;
            });
        add(
            T::Holding, R::setpoint(m), 1, m,
            [](Bus &b, const UnitArg &u, int module, Values &v) {
                const auto raw = b.liveSetpoint(u.number(), module);
                v[0] = raw ? quint16(*raw) : 0;
                return raw ? CmdOk : NoModuleReply;
            },
            [](Bus &b, const UnitArg &u, int module, const Values &v) {
                return fitsInt16(v[0]) ? b.SetOutputVoltageSetpoint(u, qint16(module), qint16(v[0]))
                                       : RangeReply;
            });
    }
    std::sort(m_fields.begin(), m_fields.end(), [](const Field &a, const Field &b) {
        return std::pair(a.table, a.address) < std::pair(b.table, b.address);
    });
}

UnitRegisterServer::~UnitRegisterServer() = default;

quint8 UnitRegisterServer::exceptionFor(const QString &reply)
{
    if (reply == RangeReply || reply == QLatin1String("ERR_ID_IN_USE"))
        return F::Exception::IllegalValue;
    if (reply == NoModuleReply)
        return F::Exception::IllegalAddress;
    return F::Exception::DeviceFailure;
}

std::optional<std::vector<const UnitRegisterServer::Field *>>
UnitRegisterServer::fieldsFor(Table table, quint16 start, int count) const
{
    std::vector<const Field *> found;
    int next = start; // first register not yet covered
    const int end = start + count;
    for (const Field &f : m_fields) {
        if (f.table != table || f.address + f.count <= next || f.address >= end)
            continue;
        if (f.address > next)
            return std::nullopt; // a gap: a register that is in no field
        found.push_back(&f);
        next = f.address + f.count;
    }
    if (next < end)
        return std::nullopt;
    return found;
}

std::optional<QByteArray> UnitRegisterServer::answer(quint8 unit, const QByteArray &pdu)
{
    // A unit that is not there, or does not answer, stays silent.
    qint16 probe = qint16(unit), id = 0;
    if (unit == 0 || pdu.isEmpty() || m_bus.GetUnitID(probe, id) != CmdOk)
        return std::nullopt;
    const quint8 function = quint8(pdu[0]);
    switch (function) {
    case F::Function::ReadHolding:
    case F::Function::ReadInput:
        if (pdu.size() != 5)
            return std::nullopt;
        return read(unit, function,
                    function == F::Function::ReadHolding ? Table::Holding : Table::Input,
                    F::word(pdu, 1), F::word(pdu, 3));
    case F::Function::WriteSingle:
        if (pdu.size() != 5)
            return std::nullopt;
        return write(unit, pdu, F::word(pdu, 1), {F::word(pdu, 3)});
    case F::Function::WriteMultiple: {
        if (pdu.size() < 6)
            return std::nullopt;
        const int count = F::word(pdu, 3);
        if (count < 1 || count > F::MaxWriteCount || quint8(pdu[5]) != count * 2 ||
            pdu.size() != 6 + count * 2)
            return F::exceptionAnswer(function, F::Exception::IllegalValue);
        std::vector<quint16> values;
        for (int i = 0; i < count; ++i)
            values.push_back(F::word(pdu, 6 + 2 * i));
        return write(unit, pdu, F::word(pdu, 1), values);
    }
    default:
        return F::exceptionAnswer(function, F::Exception::IllegalFunction);
    }
}

std::optional<QByteArray> UnitRegisterServer::read(quint8 unit, quint8 function, Table table,
                                                   quint16 start, int count)
{
    if (count < 1 || count > F::MaxReadCount)
        return F::exceptionAnswer(function, F::Exception::IllegalValue);
    const auto fields = fieldsFor(table, start, count);
    if (!fields)
        return F::exceptionAnswer(function, F::Exception::IllegalAddress);
    if (m_refuseBlocks != 0 && fields->size() > 1)
        return F::exceptionAnswer(function, m_refuseBlocks);
    const UnitArg u{int(unit)};
    std::vector<quint16> registers(std::size_t(count), 0);
    bool content = false, emptyPosition = false;
    for (const Field *f : *fields) {
        Values v{};
        const QString reply = f->get(m_bus, u, f->module, v);
        if (reply == NoModuleReply) {
            emptyPosition = true; // reads as zeros beside other registers
            continue;
        }
        if (reply == TimeoutReply)
            return std::nullopt;
        if (reply != CmdOk)
            return F::exceptionAnswer(function, exceptionFor(reply));
        content = true;
        for (int i = 0; i < f->count; ++i) {
            const int at = f->address + i - start;
            if (at >= 0 && at < count)
                registers[std::size_t(at)] = v[std::size_t(i)];
        }
    }
    // A read of nothing but an empty position's registers is how a unit says
    // there is no module there.
    if (emptyPosition && !content)
        return F::exceptionAnswer(function, F::Exception::IllegalAddress);
    QByteArray answer(1, char(function));
    answer.append(char(count * 2));
    for (const quint16 r : registers)
        F::appendWord(answer, r);
    return answer;
}

std::optional<QByteArray> UnitRegisterServer::write(quint8 unit, const QByteArray &pdu,
                                                    quint16 start,
                                                    const std::vector<quint16> &values)
{
    const quint8 function = quint8(pdu[0]);
    const int count = int(values.size());
    const auto fields = fieldsFor(Table::Holding, start, count);
    if (!fields ||
        std::any_of(fields->begin(), fields->end(), [](const Field *f) { return !f->set; }))
        return F::exceptionAnswer(function, F::Exception::IllegalAddress);
    const UnitArg u{int(unit)};
    for (const Field *f : *fields) {
        Values v{};
        // A write of part of a field keeps the rest as the unit holds it.
        if (f->address < start || f->address + f->count > start + count) {
            const QString reply = f->get(m_bus, u, f->module, v);
            if (reply != CmdOk)
                return F::exceptionAnswer(function, exceptionFor(reply));
        }
        for (int i = 0; i < f->count; ++i) {
            const int at = f->address + i - start;
            if (at >= 0 && at < count)
                v[std::size_t(i)] = values[std::size_t(at)];
        }
        const QString reply = f->set(m_bus, u, f->module, v);
        if (reply == TimeoutReply)
            return std::nullopt;
        if (reply != CmdOk)
            return F::exceptionAnswer(function, exceptionFor(reply));
    }
    return function == F::Function::WriteSingle ? pdu : pdu.left(5);
}
