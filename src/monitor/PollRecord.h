#pragma once

#include <QDateTime>
#include <QString>
#include <array>

// What one poll saw, as the two record windows and the status log report it.
// Status fields hold "Ok" or "Fail"; module arrays are indexed 0..4 for
// modules 1..5.
struct PollRecord
{
    QDateTime stamp;
    QString unitId;
    QString overTemp;
    QString fanFail;
    QString fanWarn;
    QString acOk;
    QString globalDcGood;
    QString globalCurrentLimit;
    QString globalOvp;
    QString operatingHours;
    std::array<QString, 5> good;
    std::array<QString, 5> volts;
    std::array<QString, 5> amps;
    // Character m is "1" while module m's output is on.
    QString outputState;
    // False for a poll the unit did not answer: nothing of it comes from the
    // unit, so its record carries only its time and unit.
    bool answered = true;
};
