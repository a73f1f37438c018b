#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

// What the last poll or read of each unit saw, for whoever asks between
// polls (the metrics endpoint). Filled by the reads themselves; asking it
// never sends a frame. One per process, used from the thread that polls.
class LiveState
{
public:
    static constexpr int MaxUnit = 32;
    static constexpr int Modules = 5;

    struct Module
    {
        bool present = false;
        QString type;   // the module code
        QString serial; // empty until read
        double volts = 0;
        double amps = 0;
        std::optional<double> setpoint;
        std::optional<double> low; // module-good limits, volts
        std::optional<double> high;
        bool outputOn = false;
        bool good = false;
    };
    struct Unit
    {
        bool seen = false; // polled at least once
        bool up = false;   // answered its last poll
        QString serial;
        bool overTemp = false;
        bool fanFail = false;
        bool acFail = false;
        bool dcGood = false;
        std::optional<double> hours;
        double lastAnswer = 0; // seconds since the epoch; 0: never
        std::array<Module, Modules> modules;
    };

    static LiveState &process();

    // A poll the unit answered: its readings replace the old ones. The
    // serial numbers are kept when the new picture has none.
    void answered(int unit, Unit picture, double atSeconds);
    // A poll it did not answer: up 0 and nothing it said before is kept.
    void silent(int unit);
    void setHours(int unit, std::optional<double> hours);
    void pollTook(double seconds);

    const Unit &unit(int unit) const { return m_units[std::size_t(unit)]; }
    // Whether a read should also fetch the unit's serial numbers (once,
    // while someone watches: it costs frames).
    bool wantsIdentity(int unit) const;
    double pollSeconds() const { return m_pollSeconds; }
    quint64 polls() const { return m_polls; }

    // Someone reads the state (the endpoint is on): reads add the serials.
    bool watched = false;
    QString bench;

    void clear();

private:
    std::array<Unit, MaxUnit + 1> m_units{}; // 1..32
    double m_pollSeconds = 0;
    quint64 m_polls = 0;
};
