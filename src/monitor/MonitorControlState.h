#pragma once

#include <array>

// What the monitor lets the user touch, decided in one place from what it is
// doing. Every change of activity or mode sets all controls from here, so a
// mode changed in the middle of a poll or an action cannot leave a control
// locked or free when it should not be.
class MonitorControlState
{
public:
    enum class Activity {
        Idle,
        Reading,    // a unit read
        Refreshing, // a refresh, or the refresh of a poll
        Action,     // a switch, a set-point or the global output
    };

    struct Inputs
    {
        Activity activity = Activity::Idle;
        bool unitSelected = false; // a unit is read and shown
        bool monitorMode = false;
        bool modulesKnown = false; // the read found the module types
        bool autosave = false;
        std::array<bool, 6> present{};  // module positions 1..5
        std::array<bool, 6> outputOn{}; // 1..5
    };

    struct Controls
    {
        bool unitList = false;
        bool selectUnit = false;
        bool refresh = false;
        bool close = false;
        bool eeprom = false;
        bool comSettings = false;
        bool errorFile = false;
        bool clear = false;
        bool fileName = false;
        bool monitorMode = false; // the Auto-Refresh box
        bool period = false;
        bool globalSwitch = false;
        bool switchButtons = false; // the Global Output and Group buttons
        std::array<bool, 6> moduleSwitch{};
        std::array<bool, 6> moduleEntry{};
    };

    [[nodiscard]] static Controls of(const Inputs &in);
};
