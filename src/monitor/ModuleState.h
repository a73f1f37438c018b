#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The state a module panel shows: its caption, the caption's colour (as a
// BGR number, 255 red) and whether the module-good LED is lit.
class ModuleState
{
public:
    enum Kind { Off, Good, OutOfLimits, OutOfLimitsRead, Fault, NotPresent };

    static constexpr quint32 Red = 255;
    static constexpr quint32 Green = 65280;
    static constexpr quint32 Black = 0;

    static QString caption(Kind kind);
    static quint32 color(Kind kind);
    static bool ledOn(Kind kind) { return kind == Good; }

    // Inclusive window; two zero limits accept every voltage (no window set).
    static bool insideWindow(double volts, double low, double high);

    // What the unit said of one module position; a value it did not give is
    // missing, and a missing value never makes a module look bad.
    struct Reading
    {
        bool present = false;
        bool outputOn = false;
        bool goodBit = true; // the module-good byte's bit
        std::optional<double> volts;
        std::optional<double> low;
        std::optional<double> high;
    };
    // The one decision of a module's state, for the panel, its LED and the
    // log. A unit read words a voltage outside the window differently.
    static Kind of(const Reading &reading, bool unitRead = false);
};
