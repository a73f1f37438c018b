#include "unitsim/UnitSimCommands.h"

#include "device/SimulatedBus.h"
#include "unitsim/UnitSimLine.h"

#include <QStringList>
#include <cmath>
#include <limits>

namespace UnitSimCommands {

namespace {

const char UnitsForm[] = "silent UNITS, answer UNITS: unit IDs 1..32 as 3,5,7-9";
const char LateForm[] = "late P MS: P 0..1, MS 0 or more";
const char LoadForm[] = "load UNIT MODULE AMPS: unit 1..32, module 1..5, AMPS 0 or more";
const char AlarmForm[] =
    "alarm UNIT NAME on|off: unit 1..32, NAME over-temp, fan-fail, ac-fail or dc-good";
const char AnyForm[] =
    "silent UNITS, answer UNITS, late P MS, load UNIT MODULE AMPS, alarm UNIT NAME on|off";

// The alarms by the element of the global status byte they take down.
const struct
{
    const char *name;
    int element;
} Alarms[] = {{"over-temp", 1}, {"fan-fail", 2}, {"ac-fail", 3}, {"dc-good", 4}};

std::optional<int> number(const QString &text, int min, int max)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= min && n <= max ? std::optional(n) : std::nullopt;
}

std::optional<Load> load(const QString &unit, const QString &module, const QString &amps)
{
    const auto u = number(unit, 1, 32);
    const auto m = number(module, 1, 5);
    bool ok = false;
    const double a = amps.toDouble(&ok);
    if (!u || !m || !ok || !std::isfinite(a) || a < 0)
        return std::nullopt;
    return Load{*u, *m, a};
}

QString noUnit(int unit)
{
    return QStringLiteral("no unit %1 on the bus").arg(unit);
}

} // namespace

std::optional<QList<int>> unitList(const QString &text)
{
    QList<int> units;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool okFirst = false, okLast = true;
        const int first = ends.value(0).toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.value(1).toInt(&okLast) : first;
        if (!okFirst || !okLast || ends.size() > 2 || first < 1 || last > 32 || first > last)
            return std::nullopt;
        for (int id = first; id <= last; ++id)
            units << id;
    }
    return units;
}

std::optional<double> rate(const QString &text)
{
    bool ok = false;
    const double r = text.toDouble(&ok);
    return ok && r >= 0 && r <= 1 ? std::optional(r) : std::nullopt;
}

std::optional<QList<Load>> loadList(const QString &text)
{
    QList<Load> loads;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList fields = part.trimmed().split(QLatin1Char(':'));
        const auto one = fields.size() == 3 ? load(fields[0], fields[1], fields[2]) : std::nullopt;
        if (!one)
            return std::nullopt;
        loads << *one;
    }
    return loads;
}

QString connectLoad(SimulatedBus &bus, const Load &load)
{
    if (bus.setLoadCurrent(load.unit, load.module, load.amps))
        return {};
    if (!bus.unitIds().contains(load.unit))
        return noUnit(load.unit);
    return QStringLiteral("unit %1 has no module %2").arg(load.unit).arg(load.module);
}

Outcome run(const QString &command, SimulatedBus &bus, UnitSimLine &line)
{
    const QStringList words = command.simplified().split(QLatin1Char(' '));
    const QString said = words.join(QLatin1Char(' '));
    const QString &verb = words[0];
    const auto refused = [&](const char *form) {
        return Outcome{false,
                       QStringLiteral("not a command: %1 (%2)").arg(said, QLatin1String(form))};
    };

    if (verb == QLatin1String("late")) {
        const auto share = words.size() >= 2 ? rate(words[1]) : std::nullopt;
        const auto ms = words.size() == 3 ? number(words[2], 0, std::numeric_limits<int>::max())
                                          : std::optional(0);
        if (!share || !ms || words.size() > 3)
            return refused(LateForm);
        line.setLate(*share, *ms);
        return {true, said};
    }
    if (verb == QLatin1String("silent") || verb == QLatin1String("answer")) {
        const auto units = words.size() == 2 ? unitList(words[1]) : std::nullopt;
        if (!units || units->isEmpty())
            return refused(UnitsForm);
        for (const int id : *units)
            bus.setUnitSilent(id, verb == QLatin1String("silent"));
        return {true, said};
    }
    if (verb == QLatin1String("load")) {
        const auto one = words.size() == 4 ? load(words[1], words[2], words[3]) : std::nullopt;
        if (!one)
            return refused(LoadForm);
        const QString why = connectLoad(bus, *one);
        return why.isEmpty() ? Outcome{true, said}
                             : Outcome{false, said + QStringLiteral(": ") + why};
    }
    if (verb == QLatin1String("alarm")) {
        const auto unit = words.size() == 4 ? number(words[1], 1, 32) : std::nullopt;
        const bool on = words.value(3) == QLatin1String("on");
        int element = 0;
        for (const auto &alarm : Alarms) {
            if (words.value(2) == QLatin1String(alarm.name))
                element = alarm.element;
        }
        if (!unit || element == 0 || (!on && words.value(3) != QLatin1String("off")))
            return refused(AlarmForm);
        if (!bus.forceAlarm(*unit, element, on))
            return {false, said + QStringLiteral(": ") + noUnit(*unit)};
        return {true, said};
    }
    return refused(AnyForm);
}

} // namespace UnitSimCommands
