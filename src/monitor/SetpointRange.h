#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

class clsScalability;

// The set-points a module accepts: its rated voltage range from scale.ini and
// the factor that turns volts into the raw number the unit takes.
class SetpointRange
{
public:
    double min = 0;
    double max = 0;
    double voltageScaleFactor = 0;

    // The range of a module type's ratings.
    static SetpointRange of(const clsScalability &ratings);

    // Inclusive at both ends.
    [[nodiscard]] bool accepts(double volts) const;
    // The raw set-point, or nothing when it does not fit the unit's 16 bits.
    [[nodiscard]] std::optional<qint16> raw(double volts) const;
    // "min and max" in the user's decimal notation, as the refusals show it.
    QString limitsText() const;

    // 0.01 V, read in the user's decimal notation.
    static double step();
    // value moved by one step up (+1) or down (-1), without the binary noise
    // that would push 5.01 - 0.01 below a minimum of 5.
    static double stepped(double value, int direction);
};
