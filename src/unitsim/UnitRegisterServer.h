#pragma once

#include "device/ZelkRegisterMap.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

class SimulatedBus;
class UnitArg;

// The units of a simulated bus as Modbus servers: a request PDU for a unit
// ID becomes device calls on the bus, and their results registers of the
// register map (docs/wire-protocol.md), or an exception.
class UnitRegisterServer
{
public:
    explicit UnitRegisterServer(SimulatedBus &bus);
    ~UnitRegisterServer();

    // The answer PDU, or nothing where a unit on a shared line stays silent:
    // no unit at that ID, a unit set silent, a broadcast, a malformed frame.
    std::optional<QByteArray> answer(quint8 unit, const QByteArray &pdu);

    // The exception a device reply becomes (ERR_RANGE and ERR_ID_IN_USE 03,
    // ERR_NO_MODULE 02, any other failure 04).
    static quint8 exceptionFor(const QString &reply);

    // A unit whose firmware reads one value a request: a read spanning more
    // than one value is answered with this exception (0: served).
    void refuseBlocks(quint8 exception) { m_refuseBlocks = exception; }

private:
    using Table = ZelkRegisters::Table;
    using Values = std::array<quint16, 6>;
    struct Field
    {
        Table table;
        quint16 address;
        int count;
        int module; // 0: the unit's own
        std::function<QString(SimulatedBus &, const UnitArg &, int module, Values &)> get;
        // Empty for a register that cannot be written.
        std::function<QString(SimulatedBus &, const UnitArg &, int module, const Values &)> set;
    };

    std::optional<QByteArray> read(quint8 unit, quint8 function, Table table, quint16 start,
                                   int count);
    std::optional<QByteArray> write(quint8 unit, const QByteArray &pdu, quint16 start,
                                    const std::vector<quint16> &values);
    // Fields overlapping start..start+count-1, in address order; nothing when
    // a register there is in none.
    std::optional<std::vector<const Field *>> fieldsFor(Table table, quint16 start,
                                                        int count) const;

    SimulatedBus &m_bus;
    std::vector<Field> m_fields;
    quint8 m_refuseBlocks = 0;
};
