#pragma once

#include "core/StatusArray.h"
#include "device/SimBusSettings.h"

#include <QtGlobal>
#include <array>
#include <optional>
#include <random>

class SimBusRatings;

// What a module does right now, beside what it stores.
struct SimModuleLive
{
    bool switchedOn = false; // commanded on (module switch, start-up state, group)
    qint64 onAtMs = 0;       // the output follows the command from here (turn-on delay)
    qint16 setpoint = 0;     // live set-point, raw; the stored default at power-up
    double loadOhms = 0;
    // A constant-current load connected in place of loadOhms: it draws this
    // whatever the voltage (0: draws nothing), as far as the limit lets it.
    std::optional<double> loadAmps;
    bool latched = false; // tripped by a latching current limit
    qint64 epochMs = 0;   // last change of anything that decides the current
};

struct SimUnitLive
{
    bool globalOn = false;
    bool groupOn = false;
    qint64 hoursEpochMs = 0; // clock time at which the stored hours were counted
    std::array<SimModuleLive, 5> modules;

    SimModuleLive &module(int m) { return modules[m - 1]; }
    const SimModuleLive &module(int m) const { return modules[m - 1]; }
};

// How the units behave: outputs, delays and groups at power-up, the load and
// the current limit, measurements with a little noise, and the status bytes.
// Times are milliseconds on the clock seam's monotonic line.
class SimBusPhysics
{
public:
    explicit SimBusPhysics(SimBusRatings &ratings);

    void setNoiseEnabled(bool on) { m_noise = on; }
    bool noiseEnabled() const { return m_noise; }

    // Power-up: the default global and group states, every output from its
    // start-up state, group by group. Without delays the unit is found as if
    // it had been switched on long ago.
    void recycle(const SimUnitSettings &s, SimUnitLive &l, qint64 now, bool applyDelays);
    // Global output on restarts the outputs as a power-up does.
    void setGlobal(const SimUnitSettings &s, SimUnitLive &l, bool on, qint64 now);
    void setGroup(const SimUnitSettings &s, SimUnitLive &l, bool on, qint64 now);
    void setOutput(const SimUnitSettings &s, SimUnitLive &l, int m, bool on, qint64 now);
    // Call before anything that decides a module's current changes (set-point,
    // load, limit, mode, times), so a limit reached so far stays reached.
    void touch(const SimUnitSettings &s, SimUnitLive &l, int m, qint64 now);

    qint16 measureVoltage(const SimUnitSettings &s, const SimUnitLive &l, int m, qint64 now);
    qint16 measureCurrent(const SimUnitSettings &s, const SimUnitLive &l, int m, qint64 now);
    StatusArray outputState(const SimUnitSettings &s, const SimUnitLive &l, qint64 now) const;
    StatusArray moduleGood(const SimUnitSettings &s, const SimUnitLive &l, qint64 now) const;
    StatusArray globalStatus(const SimUnitSettings &s, const SimUnitLive &l, qint64 now) const;

private:
    struct Output
    {
        bool commanded = false; // present, global on, switched on, delay over
        bool tripped = false;   // latched off by the current limit
        bool delivering = false;
        bool limiting = false;
        double volts = 0;
        double amps = 0;
    };
    Output operate(const SimUnitSettings &s, const SimUnitLive &l, int m, qint64 now) const;
    void startOutputs(const SimUnitSettings &s, SimUnitLive &l, qint64 now, bool applyDelays);
    bool good(const SimUnitSettings &s, int m, const Output &o) const;
    double noisy(double value);

    SimBusRatings &m_ratings;
    bool m_noise = true;
    std::minstd_rand m_random{20417}; // fixed seed: a run can be repeated
};
