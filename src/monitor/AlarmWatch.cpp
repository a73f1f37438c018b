#include "monitor/AlarmWatch.h"

#include "monitor/StatusLogFormat.h"

namespace {
const QString WatchNoAnswer = QStringLiteral("No answer");
const QString WatchNotResponding = QStringLiteral("Unit does not respond!");
const QString WatchAnswering = QStringLiteral("Answering");

AlarmEvent::Severity severityOf(ModuleState::Kind kind)
{
    switch (kind) {
    case ModuleState::Good:
        return AlarmEvent::Severity::Cleared;
    case ModuleState::Off:
    case ModuleState::NotPresent:
        return AlarmEvent::Severity::Info;
    default:
        return AlarmEvent::Severity::Alarm;
    }
}
} // namespace

QString AlarmWatch::flagName(int flag)
{
    static const QString names[FlagCount] = {QStringLiteral("Over Temp"),
                                             QStringLiteral("Fan Fail"),
                                             QStringLiteral("Fan Warning"),
                                             QStringLiteral("AC Good"),
                                             QStringLiteral("Global DC Good"),
                                             QStringLiteral("Global Current Limit"),
                                             QStringLiteral("OVP")};
    return flag >= 0 && flag < FlagCount ? names[flag] : QString();
}

void AlarmWatch::reset()
{
    m_unit.clear();
    m_fine.reset();
    m_modules = {};
    m_silentPolls = 0;
}

QList<AlarmEvent> AlarmWatch::observe(const Observation &o)
{
    if (o.unitId != m_unit) {
        reset();
        m_unit = o.unitId;
    }
    QList<AlarmEvent> events;
    const auto add = [&](int module, const QString &event, const QString &state,
                         const QString &previous, AlarmEvent::Severity severity) {
        events.append({o.stamp, o.unitId, module, event, state, previous, severity});
    };
    if (!o.answered) {
        if (m_silentPolls++ == 0)
            add(0, WatchNoAnswer, WatchNotResponding, WatchAnswering, AlarmEvent::Severity::Alarm);
        return events;
    }
    if (m_silentPolls > 0) {
        add(0, WatchNoAnswer, WatchAnswering,
            m_silentPolls == 1 ? QStringLiteral("No answer for 1 poll")
                               : QStringLiteral("No answer for %1 polls").arg(m_silentPolls),
            AlarmEvent::Severity::Cleared);
        m_silentPolls = 0;
    }
    if (m_fine) {
        for (int f = 0; f < FlagCount; ++f) {
            const bool now = o.fine[std::size_t(f)];
            if (now == (*m_fine)[std::size_t(f)])
                continue;
            // A fan warning or the current limit is the unit looking after
            // itself; the others need someone to look.
            const bool warning = f == FanWarning || f == GlobalCurrentLimit;
            add(0, flagName(f), StatusLogFormat::okFail(now), StatusLogFormat::okFail(!now),
                now       ? AlarmEvent::Severity::Cleared
                : warning ? AlarmEvent::Severity::Warning
                          : AlarmEvent::Severity::Alarm);
        }
    }
    m_fine = o.fine;
    for (int m = 1; m <= 5; ++m) {
        const auto &now = o.modules[std::size_t(m)];
        auto &before = m_modules[std::size_t(m)];
        if (!now)
            continue;
        if (before && *before != *now)
            add(m, QStringLiteral("Module state"), ModuleState::caption(*now),
                ModuleState::caption(*before), severityOf(*now));
        before = now;
    }
    return events;
}
