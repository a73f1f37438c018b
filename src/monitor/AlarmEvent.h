#pragma once

#include <QDateTime>
#include <QString>

// One change the monitor saw on a unit: a unit flag, a module's state, or
// the start or end of a streak of polls without an answer.
struct AlarmEvent
{
    enum class Severity { Alarm, Warning, Cleared, Info };

    QDateTime stamp;
    QString unitId;
    int module = 0; // 1..5, 0 for the unit
    QString event;  // what changed: a flag's name, "Module state", "No answer"
    QString state;  // as it is now
    QString previous;
    Severity severity = Severity::Info;

    static QString severityText(Severity severity)
    {
        switch (severity) {
        case Severity::Alarm:
            return QStringLiteral("Alarm");
        case Severity::Warning:
            return QStringLiteral("Warning");
        case Severity::Cleared:
            return QStringLiteral("Cleared");
        case Severity::Info:
            break;
        }
        return QStringLiteral("Info");
    }
};
