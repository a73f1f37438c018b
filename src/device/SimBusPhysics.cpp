#include "device/SimBusPhysics.h"

#include "device/SimBusRatings.h"

#include <cmath>
#include <limits>

namespace {

constexpr int Latching = 1;
constexpr int Hiccup = 2;
constexpr double NoiseFraction = 0.001;
// A module with no limit of its own stops at a little over its rating.
constexpr double RatedLimitMargin = 1.05;

qint16 toRaw(double value)
{
    const double r = std::round(value);
    return r <= 0 ? 0 : r >= 32767 ? 32767 : static_cast<qint16>(r);
}

bool grouped(const SimModuleSettings &x)
{
    return x.groupId == 2 || x.groupId == 3;
}

// The first module of a group carries the group's start-up state and delay,
// as the grouping dialog reads and writes them.
const SimModuleSettings &groupLeader(const SimUnitSettings &s, int group)
{
    for (int m = 1; m <= 5; ++m) {
        if (s.module(m).present() && s.module(m).groupId == group)
            return s.module(m);
    }
    return s.module(1); // not reached for a module of that group
}

} // namespace

SimBusPhysics::SimBusPhysics(SimBusRatings &ratings)
    : m_ratings(ratings)
{}

void SimBusPhysics::recycle(const SimUnitSettings &s, SimUnitLive &l, qint64 now, bool applyDelays)
{
    l.globalOn = s.defaultGlobalState == 1;
    l.groupOn = s.defaultGroupState == 1;
    for (int m = 1; m <= 5; ++m) {
        SimModuleLive &ml = l.module(m);
        ml.latched = false;
        ml.switchedOn = false;
        ml.epochMs = now;
        ml.onAtMs = now;
        ml.setpoint = s.module(m).defaultVoltage;
    }
    if (l.globalOn)
        startOutputs(s, l, now, applyDelays);
}

void SimBusPhysics::startOutputs(const SimUnitSettings &s, SimUnitLive &l, qint64 now,
                                 bool applyDelays)
{
    for (int m = 1; m <= 5; ++m) {
        const SimModuleSettings &x = s.module(m);
        if (!x.present())
            continue;
        const SimModuleSettings &leader = grouped(x) ? groupLeader(s, x.groupId) : x;
        SimModuleLive &ml = l.module(m);
        touch(s, l, m, now);
        ml.switchedOn = leader.startUpState == 1 || (grouped(x) && l.groupOn);
        ml.onAtMs = applyDelays ? now + leader.turnOnDelayMs : now;
        ml.setpoint = x.defaultVoltage;
    }
}

void SimBusPhysics::setGlobal(const SimUnitSettings &s, SimUnitLive &l, bool on, qint64 now)
{
    if (on == l.globalOn)
        return;
    for (int m = 1; m <= 5; ++m) {
        touch(s, l, m, now);
        if (!on && s.module(m).enableReset == 1)
            l.module(m).latched = false;
    }
    l.globalOn = on;
    if (on)
        startOutputs(s, l, now, true);
}

void SimBusPhysics::setGroup(const SimUnitSettings &s, SimUnitLive &l, bool on, qint64 now)
{
    l.groupOn = on;
    for (int m = 1; m <= 5; ++m) {
        const SimModuleSettings &x = s.module(m);
        if (!x.present() || !grouped(x))
            continue;
        SimModuleLive &ml = l.module(m);
        touch(s, l, m, now);
        if (!on && x.enableReset == 1)
            ml.latched = false;
        ml.switchedOn = on;
        ml.onAtMs = on ? now + groupLeader(s, x.groupId).turnOnDelayMs : now;
    }
}

void SimBusPhysics::setOutput(const SimUnitSettings &s, SimUnitLive &l, int m, bool on, qint64 now)
{
    SimModuleLive &ml = l.module(m);
    touch(s, l, m, now);
    if (!on && s.module(m).enableReset == 1)
        ml.latched = false;
    ml.switchedOn = on;
    ml.onAtMs = now;
}

void SimBusPhysics::touch(const SimUnitSettings &s, SimUnitLive &l, int m, qint64 now)
{
    SimModuleLive &ml = l.module(m);
    if (operate(s, l, m, now).tripped)
        ml.latched = true;
    ml.epochMs = now;
}

SimBusPhysics::Output SimBusPhysics::operate(const SimUnitSettings &s, const SimUnitLive &l, int m,
                                             qint64 now) const
{
    const SimModuleSettings &x = s.module(m);
    const SimModuleLive &ml = l.module(m);
    Output o;
    o.commanded = x.present() && l.globalOn && ml.switchedOn && now >= ml.onAtMs;
    if (!o.commanded)
        return o;
    if (ml.latched) {
        o.tripped = o.limiting = true;
        return o;
    }

    const SimTypeRatings &r = m_ratings.ratings(x.typeCode);
    const double volts = ml.setpoint / r.voltageFactor();
    const double amps = ml.loadAmps ? *ml.loadAmps : ml.loadOhms > 0 ? volts / ml.loadOhms : 0.0;
    const double limit = x.currentLimit > 0 ? x.currentLimit / r.currentFactor()
                         : r.known          ? r.maxCurrent * RatedLimitMargin
                                            : std::numeric_limits<double>::infinity();
    if (amps <= limit) {
        o.delivering = true;
        o.volts = volts;
        o.amps = amps;
        return o;
    }

    // Over the limit: the output holds the limit current, so its voltage falls
    // to what the load lets through, for as long as the mode allows.
    o.limiting = true;
    const qint64 overloaded = qMax<qint64>(0, now - qMax(ml.epochMs, ml.onAtMs));
    bool holding = true;
    if (x.currentLimitMode == Latching) {
        if (overloaded >= x.limitOnMs) {
            o.tripped = true;
            holding = false;
        }
    } else if (x.currentLimitMode == Hiccup && x.limitOffMs > 0) {
        const qint64 period = qint64(x.limitOnMs) + x.limitOffMs;
        holding = overloaded % period < x.limitOnMs;
    }
    if (holding) {
        o.delivering = true;
        o.amps = limit;
        // A constant-current load wanting more than the limit pulls the
        // output down to nothing.
        o.volts = ml.loadAmps ? 0.0 : limit * ml.loadOhms;
    }
    return o;
}

double SimBusPhysics::noisy(double value)
{
    if (!m_noise)
        return value;
    std::uniform_real_distribution<double> spread(-NoiseFraction, NoiseFraction);
    return value * (1.0 + spread(m_random));
}

qint16 SimBusPhysics::measureVoltage(const SimUnitSettings &s, const SimUnitLive &l, int m,
                                     qint64 now)
{
    const Output o = operate(s, l, m, now);
    if (!o.delivering)
        return 0;
    return toRaw(noisy(o.volts * m_ratings.ratings(s.module(m).typeCode).voltageFactor()));
}

qint16 SimBusPhysics::measureCurrent(const SimUnitSettings &s, const SimUnitLive &l, int m,
                                     qint64 now)
{
    const Output o = operate(s, l, m, now);
    if (!o.delivering)
        return 0;
    return toRaw(noisy(o.amps * m_ratings.ratings(s.module(m).typeCode).currentFactor()));
}

bool SimBusPhysics::good(const SimUnitSettings &s, int m, const Output &o) const
{
    if (!o.delivering)
        return false;
    const SimModuleSettings &x = s.module(m);
    if (x.goodLow == 0 && x.goodHigh == 0)
        return true; // no window set
    const qint16 raw = toRaw(o.volts * m_ratings.ratings(x.typeCode).voltageFactor());
    return raw >= x.goodLow && raw <= x.goodHigh;
}

StatusArray SimBusPhysics::outputState(const SimUnitSettings &s, const SimUnitLive &l,
                                       qint64 now) const
{
    StatusArray a;
    for (int m = 1; m <= 5; ++m) {
        const Output o = operate(s, l, m, now);
        a.set(m, o.commanded && !o.tripped ? 1 : 0);
    }
    return a;
}

StatusArray SimBusPhysics::moduleGood(const SimUnitSettings &s, const SimUnitLive &l,
                                      qint64 now) const
{
    StatusArray a;
    if (s.forcedAlarms[7])
        return a; // over-voltage shuts every module's good signal
    for (int m = 1; m <= 5; ++m)
        a.set(m, good(s, m, operate(s, l, m, now)) ? 1 : 0);
    return a;
}

StatusArray SimBusPhysics::globalStatus(const SimUnitSettings &s, const SimUnitLive &l,
                                        qint64 now) const
{
    // Elements 1-4 and 8 are "good" signals (1 = fine); 5-7 are alarms (1 = raised).
    const auto &forced = s.forcedAlarms;
    bool dcGood = l.globalOn && !forced[7];
    bool limiting = false;
    for (int m = 1; m <= 5; ++m) {
        const Output o = operate(s, l, m, now);
        limiting = limiting || o.limiting;
        if (o.commanded && !good(s, m, o))
            dcGood = false;
    }
    StatusArray a;
    a.set(1, forced[1] ? 0 : 1);
    a.set(2, forced[2] ? 0 : 1);
    a.set(3, forced[3] ? 0 : 1);
    a.set(4, forced[4] || !dcGood ? 0 : 1);
    a.set(5, forced[5] || limiting ? 1 : 0);
    a.set(6, forced[6] || forced[1] || forced[2] || forced[3] || forced[7] ? 1 : 0);
    a.set(7, forced[7] ? 1 : 0);
    a.set(8, forced[8] ? 0 : 1);
    return a;
}
