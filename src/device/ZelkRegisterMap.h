#pragma once

#include "core/StatusArray.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <span>

// Where a unit keeps each value in its Modbus registers, and how values are
// put into registers and taken out of them (docs/wire-protocol.md). The
// serial device object reads and writes through it; the unit emulator
// answers through it. Three runs:
//   holding 0..124    stored settings: the unit, then five module blocks
//   input 0..18       live state
//   holding 256..267  live commands (outputs, set-points)
namespace ZelkRegisters {

enum class Table : quint8 { Holding, Input };

// ---- stored settings: holding registers 0..124 ----
constexpr quint16 UnitId = 0;
constexpr quint16 UnitSerial = 1; // six registers, twelve characters
constexpr int SerialRegisters = 6;
constexpr quint16 UnitVersion = 7; // major, minor
constexpr quint16 FanFailPolarity = 9;
constexpr quint16 DcGoodPolarity = 10;
constexpr quint16 OtFailPolarity = 11;
constexpr quint16 DefaultGlobalPolarity = 12;
constexpr quint16 DefaultGlobalState = 13;
constexpr quint16 DefaultGroupState = 14;
constexpr quint16 ModuleBase = 15;
constexpr quint16 ModuleStride = 22;

// Offsets inside a module's block.
namespace Module {
constexpr quint16 Type = 0; // 0: no module in this position
constexpr quint16 Serial = 1;
constexpr quint16 Version = 7;
constexpr quint16 ProgrammingMode = 9;
constexpr quint16 OnOffPolarity = 10;
constexpr quint16 StartUpState = 11;
constexpr quint16 TurnOnDelay = 12;
constexpr quint16 DefaultVoltage = 13;
constexpr quint16 GoodHigh = 14;
constexpr quint16 GoodLow = 15;
constexpr quint16 CurrentLimitMode = 16; // then enable-reset
constexpr quint16 EnableReset = 17;
constexpr quint16 CurrentLimit = 18;
constexpr quint16 LimitOnTime = 19;
constexpr quint16 LimitOffTime = 20;
constexpr quint16 GroupId = 21;
} // namespace Module

constexpr quint16 StoredCount = ModuleBase + 5 * ModuleStride; // 125: one read

constexpr quint16 moduleRegister(int module, quint16 offset)
{
    return quint16(ModuleBase + (module - 1) * ModuleStride + offset);
}

// ---- live state: input registers 0..18 ----
constexpr quint16 PresentModules = 0; // eight-flag arrays: bit 0 is element 1
constexpr quint16 ModuleGood = 1;
constexpr quint16 GlobalStatus = 2;
constexpr quint16 OutputState = 3;
constexpr quint16 MasterSlave = 4;    // two arrays: group 2, group 3
constexpr quint16 OutputSwitches = 6; // bit 0 global output, bit 1 group
constexpr quint16 OperatingHours = 7; // 32 bits, high word first
constexpr quint16 Measurements = 9;   // per module: voltage, current
constexpr quint16 LiveCount = Measurements + 10;

constexpr quint16 measuredVoltage(int module)
{
    return quint16(Measurements + 2 * (module - 1));
}
constexpr quint16 measuredCurrent(int module)
{
    return quint16(measuredVoltage(module) + 1);
}

// ---- live commands: holding registers 256..267 ----
constexpr quint16 GlobalOutput = 256;
constexpr quint16 GroupOutput = 257;
constexpr quint16 ModuleOutputBase = 258; // modules 1..5
constexpr quint16 SetpointBase = 263;     // modules 1..5, raw counts
constexpr quint16 CommandCount = 12;

constexpr quint16 moduleOutput(int module)
{
    return quint16(ModuleOutputBase + module - 1);
}
constexpr quint16 setpoint(int module)
{
    return quint16(SetpointBase + module - 1);
}

// The module position a register belongs to, 0 for the unit's own.
int moduleOf(Table table, quint16 address);
// Whether a register lies in one of the three runs.
bool exists(Table table, quint16 address);

// ---- values in registers ----
constexpr quint16 MaxRaw = 32767;    // device counts
constexpr quint16 MaxTimeMs = 65535; // delays and current-limit times
constexpr quint32 MaxHours = 2147483647;

// Text: two characters a register, first in the high byte, padded with NULs.
// Characters outside printable ASCII are sent as '?'; longer texts are cut.
void putText(const QString &text, std::span<quint16> registers);
// Nothing when a character before the first NUL is not printable ASCII.
std::optional<QString> text(std::span<const quint16> registers);

quint16 flags(const StatusArray &array);
// Nothing when a bit above the eighth is set.
std::optional<StatusArray> flagArray(quint16 value);

// Nothing outside min..max.
std::optional<qint32> number(quint16 value, quint16 min, quint16 max);

// Value of the global output query: 100, plus 10 with the global output on,
// plus 1 with the group on. Nothing for bits other than those two.
std::optional<qint16> globalOutputValue(quint16 switches);
quint16 outputSwitches(qint16 globalOutputValue);

} // namespace ZelkRegisters
