#pragma once

#include "monitor/AlarmEvent.h"
#include "monitor/ModuleState.h"

#include <QList>
#include <array>
#include <optional>

// Turns what each read, refresh and poll saw of a unit into events: every
// change of a unit flag or of a module's state since the last look, and the
// start and the end of a streak of polls without an answer. The first look
// at a unit changes nothing; a poll without an answer leaves the last known
// flags and states, so the answer after the streak is compared with them.
class AlarmWatch
{
public:
    enum Flag { OverTemp, FanFail, FanWarning, AcGood, GlobalDcGood, GlobalCurrentLimit, Ovp };
    static constexpr int FlagCount = Ovp + 1;
    static QString flagName(int flag);

    struct Observation
    {
        QDateTime stamp;
        QString unitId;
        bool answered = true;
        std::array<bool, FlagCount> fine{}; // each flag true where the unit is fine
        // The module state the monitor shows, for modules 1..5 (0 unused).
        std::array<std::optional<ModuleState::Kind>, 6> modules;
    };

    QList<AlarmEvent> observe(const Observation &o);
    void reset();

private:
    QString m_unit;
    std::optional<std::array<bool, FlagCount>> m_fine;
    std::array<std::optional<ModuleState::Kind>, 6> m_modules;
    int m_silentPolls = 0;
};
