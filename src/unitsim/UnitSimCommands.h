#pragma once

#include <QList>
#include <QString>
#include <optional>

class SimulatedBus;
class UnitSimLine;

// What the emulator takes on its command line and, with --commands, on its
// standard input while it serves.
namespace UnitSimCommands {

// "3,5,7-9" as unit IDs 1..32; nothing for text that is not one.
std::optional<QList<int>> unitList(const QString &text);
// A share 0..1.
std::optional<double> rate(const QString &text);

// A constant-current load on one module.
struct Load
{
    int unit = 0;
    int module = 0;
    double amps = 0;
};
// "UNIT:MODULE:AMPS[,UNIT:MODULE:AMPS...]" (unit 1..32, module 1..5, amps 0
// or more); nothing when any part is not one.
std::optional<QList<Load>> loadList(const QString &text);
// Connects the load live; empty when done, else why not (no such unit or module).
QString connectLoad(SimulatedBus &bus, const Load &load);

struct Outcome
{
    bool done = false;
    QString text; // the confirmation, or what went wrong
};
// One line of standard input, carried out on the bus or the line.
Outcome run(const QString &command, SimulatedBus &bus, UnitSimLine &line);

} // namespace UnitSimCommands
