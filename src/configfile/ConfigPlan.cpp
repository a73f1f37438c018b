#include "configfile/ConfigPlan.h"

#include "configfile/ConfigFileKeys.h"
#include "configfile/FieldRules.h"
#include "core/Ini.h"
#include "core/NumberText.h"

#include <cmath>

namespace K = ConfigFileKeys;
namespace CS = ConfigSetting;
using CS::Id;
using Section = ConfigFileContents::Section;
using Value = ConfigFileContents::Value;

namespace {

// A set-point this close to 0 means "not set": the editor never writes it.
constexpr double SetpointThreshold = 0.009;
constexpr int MaxUShort = 65535;

QString separatorOf(const QString &text)
{
    return text.contains(QLatin1Char(',')) ? QStringLiteral(",") : QStringLiteral(".");
}

// "StartUpDelay=70000 (line 12)": the value as the file has it and where.
QString said(const QString &key, const Value &v)
{
    return QStringLiteral("%1=%2 (line %3)").arg(key, v.text).arg(v.line);
}

QString sectionName(int unit, int module)
{
    const QString u = QString::number(unit);
    return module == 0 ? K::unitSection(u) : K::moduleSection(u, module);
}

struct Checked
{
    std::optional<qint32> value;
    QString refusal;
    QString note; // a warning that does not stop the write
};

Checked refuse(const QString &key, const Value &v, const QString &why)
{
    return {std::nullopt, said(key, v) + QStringLiteral(": ") + why, {}};
}

QString overflow(double raw)
{
    return QStringLiteral("it would be %1 in the unit, which holds -32768 to 32767")
        .arg(NumberText::fromDouble(std::nearbyint(raw), QStringLiteral(".")));
}

// The other module-good limit in volts, as text: the file's number, else
// what the unit holds now, which the written one must not cross either.
QString otherLimitVolts(const Section &s, const QString &key, double factor,
                        std::optional<qint32> unitHolds)
{
    const Value *v = s.value(key);
    auto counts = v ? ConfigPlan::number(v->text) : std::nullopt;
    if (!v && unitHolds)
        counts = double(*unitHolds);
    return counts ? NumberText::fromDouble(*counts / factor, QStringLiteral("."))
                  : QStringLiteral("0");
}

Checked check(Id id, const Value &v, const Section &s, const clsScalability &r,
              std::optional<qint32> unitOtherLimit = std::nullopt)
{
    const QString key = CS::key(id);
    const QString t = v.text.trimmed();
    const QString sep = separatorOf(t);
    if (CS::kind(id) == CS::Kind::Option) {
        if (t == QLatin1String("0") || t == QLatin1String("1"))
            return {t.toInt(), {}, {}};
        return refuse(key, v, QStringLiteral("the unit takes 0 or 1 here"));
    }
    const std::optional<double> n = ConfigPlan::number(t);
    if (!n)
        return refuse(key, v, QStringLiteral("not a number"));

    switch (CS::kind(id)) {
    case CS::Kind::Milliseconds: {
        const FieldRules::Verdict verdict = id == Id::StartUpDelay
                                                ? FieldRules::startUpDelay(t, sep)
                                                : FieldRules::limitTime(t, sep);
        if (!verdict.accepted)
            return refuse(key, v, verdict.message);
        const double ms = std::nearbyint(*n);
        if (ms < 0 || ms > MaxUShort)
            return refuse(key, v, QStringLiteral("the unit holds 0 to 65535 ms"));
        return {qint32(ms), {}, verdict.message};
    }
    case CS::Kind::Volts: {
        const double factor = r.VoltageScaleFactor;
        if (factor == 0)
            return refuse(key, v,
                          QStringLiteral("scale.ini gives this module type no voltage "
                                         "scale factor"));
        const auto raw = NumberText::roundToInt16(*n * factor);
        if (!raw)
            return refuse(key, v, overflow(*n * factor));
        const FieldRules::Verdict verdict =
            FieldRules::setpoint(t, 0, r.MinVoltage, r.MaxVoltage, sep);
        if (!verdict.accepted)
            return refuse(key, v, verdict.message);
        return {*raw, {}, {}};
    }
    case CS::Kind::VoltCounts: {
        const double factor = r.VoltageScaleFactor;
        const auto raw = NumberText::roundToInt16(*n);
        if (!raw)
            return refuse(key, v, overflow(*n));
        if (factor == 0)
            return refuse(key, v,
                          QStringLiteral("scale.ini gives this module type no voltage "
                                         "scale factor"));
        const bool high = id == Id::HighLimit;
        const QString volts = NumberText::fromDouble(*raw / factor, QStringLiteral("."));
        const QString other = otherLimitVolts(s, high ? K::VoltageLowLimit : K::VoltageHighLimit,
                                              factor, unitOtherLimit);
        const FieldRules::Verdict verdict =
            high ? FieldRules::highLimit(volts, other, r.MinVoltage, r.MaxVoltage,
                                         QStringLiteral("."))
                 : FieldRules::lowLimit(volts, other, r.MinVoltage, r.MaxVoltage,
                                        QStringLiteral("."));
        if (!verdict.accepted)
            return refuse(key, v, verdict.message);
        return {*raw, {}, {}};
    }
    case CS::Kind::Amps: {
        const double factor = r.CurrentScaleFactor;
        if (factor == 0)
            return refuse(key, v,
                          QStringLiteral("scale.ini gives this module type no current "
                                         "scale factor"));
        const auto raw = NumberText::roundToInt16(*n * factor);
        if (!raw)
            return refuse(key, v, overflow(*n * factor));
        const FieldRules::Verdict verdict =
            FieldRules::currentLimit(t, 0, static_cast<int>(std::nearbyint(r.MaxCurrent)), sep);
        if (!verdict.accepted)
            return refuse(key, v, verdict.message);
        return {*raw, {}, {}};
    }
    case CS::Kind::Option:
    case CS::Kind::Mode:
        break;
    }
    return refuse(key, v, QStringLiteral("not a value of this setting"));
}

// The current limit as a save of the unit writes it: its first five characters.
std::optional<double> savedCurrentLimit(qint32 raw, double factor)
{
    if (factor == 0)
        return std::nullopt;
    return ConfigPlan::number(NumberText::fromDouble(raw / factor, QStringLiteral(".")).left(5));
}

// The type a module section names is the unit's, and the unit's type has ratings.
QString typeRefusal(int m, const Section &s, const UnitState &state, const QString &section)
{
    const clsScalability &r = state.ratings.at(std::size_t(m - 1));
    const Value *code = s.value(K::ModuleCode);
    if (!code)
        return QStringLiteral("Module %1: [%2] names no ModuleCode, so the module type cannot be "
                              "checked; nothing of module %1 is written")
            .arg(m)
            .arg(section);
    if (!state.typeKnown.at(std::size_t(m - 1)) || r.Type.trimmed().isEmpty() ||
        r.Type == Ini::NotAvailable)
        return QStringLiteral("Module %1: the unit reports type code %2, which has no ratings in "
                              "scale.ini; nothing of module %1 is written")
            .arg(m)
            .arg(state.typeCode.at(std::size_t(m - 1)));
    if (code->text.trimmed() != r.Type.trimmed())
        return said(K::ModuleCode, *code) +
               QStringLiteral(": the unit's module %1 is a %2; nothing of module %1 is written")
                   .arg(m)
                   .arg(r.Type.trimmed());
    return {};
}

} // namespace

bool UnitState::present(int m) const
{
    return m >= 1 && m <= presentModules.size() && presentModules.at(m - 1) == QLatin1Char('1');
}

std::optional<qint32> UnitState::value(int module, Id id) const
{
    const auto it = m_values.constFind(module * 32 + int(id));
    return it == m_values.constEnd() ? std::nullopt : std::optional<qint32>(*it);
}

void UnitState::setValue(int module, Id id, qint32 value)
{
    m_values.insert(module * 32 + int(id), value);
}

QString ConfigPlan::Row::name() const
{
    QString what = setting ? CS::title(*setting) : key;
    if (module == 0)
        return what.isEmpty() ? QStringLiteral("Unit") : what;
    return what.isEmpty() ? QStringLiteral("Module %1").arg(module)
                          : QStringLiteral("Module %1 %2").arg(module).arg(what);
}

std::optional<double> ConfigPlan::number(const QString &text)
{
    return NumberText::toDouble(text, separatorOf(text));
}

QString ConfigPlan::valueText(Id id, qint32 value, const clsScalability &r, const QString &sep)
{
    const auto scaled = [&](double factor, const char *unit) {
        if (factor == 0)
            return QStringLiteral("%1 counts").arg(value);
        return NumberText::fromDouble(value / factor, sep) + QLatin1Char(' ') + QLatin1String(unit);
    };
    switch (CS::kind(id)) {
    case CS::Kind::Option:
        return CS::optionCaption(id, value);
    case CS::Kind::Milliseconds:
        return QStringLiteral("%1 ms").arg(value);
    case CS::Kind::Volts:
    case CS::Kind::VoltCounts:
        return scaled(r.VoltageScaleFactor, "V");
    case CS::Kind::Amps:
        return scaled(r.CurrentScaleFactor, "A");
    case CS::Kind::Mode:
        return CS::modeCaption(value);
    }
    return QString::number(value);
}

bool ConfigPlan::typeMatches(const Section &s, const clsScalability &r)
{
    const Value *code = s.value(K::ModuleCode);
    return code && !r.Type.trimmed().isEmpty() && r.Type != Ini::NotAvailable &&
           code->text.trimmed() == r.Type.trimmed();
}

QList<Id> ConfigPlan::compared(const ConfigFileContents::Unit &file, int module)
{
    QList<Id> ids;
    if (module == 0) {
        if (!file.unit.exists || file.unit.repeatedAt)
            return ids;
        for (Id id : CS::UnitIds) {
            if (id == Id::GroupState || file.unit.value(CS::key(id)))
                ids << id;
        }
        return ids;
    }
    const Section &s = file.module(module);
    if (!s.exists || s.repeatedAt)
        return ids;
    const Value *modeText = s.value(K::CurrentLimitMode);
    const int mode = modeText ? CS::modeFromName(modeText->text) : -1;
    const bool limited = mode == int(CS::Mode::Latching) || mode == int(CS::Mode::Hiccup);
    for (Id id : CS::ModuleIds) {
        const Value *v = s.value(CS::key(id));
        if (!v)
            continue;
        if (id == Id::Setpoint) {
            const auto volts = number(v->text);
            if (volts && std::fabs(*volts) <= SetpointThreshold)
                continue;
        }
        if ((id == Id::CurrentLimit || id == Id::ActivationTime) && !limited)
            continue;
        if (id == Id::ResetTime && mode != int(CS::Mode::Hiccup))
            continue;
        ids << id;
    }
    return ids;
}

ConfigPlan ConfigPlan::make(const ConfigFileContents::Unit &file, const UnitState &state,
                            const QString &sep)
{
    ConfigPlan plan;
    plan.section = file.number;
    plan.unit = state.unit;
    plan.state = state;

    const auto add = [&plan](Row row) {
        plan.rows << row;
        return &plan.rows.last();
    };
    const auto info = [&](int m, const QString &key, int line, const QString &message) {
        Row row;
        row.module = m;
        row.key = key;
        row.line = line;
        row.message = message;
        add(row);
    };
    const auto refused = [&](int m, const QString &key, int line, const QString &message) {
        Row row;
        row.kind = Kind::Refused;
        row.module = m;
        row.key = key;
        row.line = line;
        row.message = message;
        return add(row);
    };
    // Compares what the file wants with what the unit holds.
    const auto compare = [&](int m, Id id, const Value *v, qint32 wanted, const QString &note,
                             const clsScalability &r) {
        const std::optional<qint32> held = state.value(m, id);
        bool same = held && *held == wanted;
        if (!same && held && id == Id::CurrentLimit && v)
            same = savedCurrentLimit(*held, r.CurrentScaleFactor) == number(v->text);
        if (same) {
            ++plan.sameCount;
            return;
        }
        Row row;
        row.kind = Kind::Write;
        row.module = m;
        row.setting = id;
        row.key = CS::key(id);
        row.line = v ? v->line : 0;
        row.unitValue = held;
        row.fileValue = wanted;
        row.unitText = held ? valueText(id, *held, r, sep) : QStringLiteral("(not read)");
        row.fileText = id == Id::CurrentLimit && v ? v->text.trimmed() + QStringLiteral(" A")
                                                   : valueText(id, wanted, r, sep);
        row.message = note;
        add(row);
    };
    // Information about identity the file carries but a write never copies.
    const auto identity = [&](int m, const Section &s, const QString &key, const QString &held) {
        const Value *v = s.value(key);
        if (v && v->text.trimmed() != held.trimmed()) {
            Row row;
            row.module = m;
            row.key = key;
            row.line = v->line;
            row.unitText = held;
            row.fileText = v->text;
            row.message = QStringLiteral("not written: identity stays with the unit");
            add(row);
        }
    };
    const auto holdBack = [&plan](int m, const QString &why) {
        bool anyRefused = false;
        for (const Row &row : plan.rows)
            anyRefused = anyRefused || (row.module == m && row.kind == Kind::Refused);
        if (!anyRefused)
            return;
        for (Row &row : plan.rows) {
            if (row.module == m && row.kind == Kind::Write) {
                row.kind = Kind::Held;
                row.message = why;
            }
        }
    };
    const auto missing = [&](int m, const Section &s, Id id) {
        info(m, CS::key(id), s.line,
             QStringLiteral("%1 is missing in [%2]: the unit's value stays")
                 .arg(CS::key(id), sectionName(file.number, m)));
    };

    // The unit's own options.
    const Section &us = file.unit;
    const clsScalability none;
    if (us.exists && us.repeatedAt) {
        refused(0, {}, us.repeatedAt,
                QStringLiteral("[%1] appears twice (lines %2 and %3): the file is ambiguous, so "
                               "none of its settings is applied")
                    .arg(sectionName(file.number, 0))
                    .arg(us.line)
                    .arg(us.repeatedAt));
    } else if (us.exists) {
        for (Id id : CS::UnitIds) {
            const Value *v = us.value(CS::key(id));
            if (id == Id::GroupState) {
                // Groups start by their own switch, never at power-up.
                compare(0, id, v, 0, {}, none);
                if (v && v->text.trimmed() != QLatin1String("0"))
                    info(0, CS::key(id), v->line,
                         said(CS::key(id), *v) +
                             QStringLiteral(": the default group state is always written as 0"));
                continue;
            }
            if (!v) {
                missing(0, us, id);
            } else if (v->repeatedAt) {
                refused(0, CS::key(id), v->repeatedAt,
                        QStringLiteral("%1 appears twice in [%2] (lines %3 and %4): not applied")
                            .arg(CS::key(id), sectionName(file.number, 0))
                            .arg(v->line)
                            .arg(v->repeatedAt));
            } else {
                const Checked c = check(id, *v, us, none);
                if (c.value)
                    compare(0, id, v, *c.value, c.note, none);
                else
                    refused(0, CS::key(id), v->line, c.refusal)->setting = id;
            }
        }
        identity(0, us, K::PowerSupplyID, QString::number(state.unit));
        identity(0, us, K::SerialNumber, state.serialNumber);
        identity(0, us, K::MajorVersion, state.majorVersion);
        identity(0, us, K::MinorVersion, state.minorVersion);
        if (const Value *v = us.value(K::MODULES);
            v && v->text.trimmed().left(5) != state.presentModules.left(5))
            info(0, K::MODULES, v->line,
                 said(K::MODULES, *v) + QStringLiteral(": the unit's fitted positions are %1")
                                            .arg(state.presentModules.left(5)));
        holdBack(0, QStringLiteral("held back: another unit option in the file was refused"));
    }

    for (int m = 1; m <= 5; ++m) {
        const Section &s = file.module(m);
        const clsScalability &r = state.ratings.at(std::size_t(m - 1));
        if (!s.exists) {
            if (state.present(m) && us.exists)
                info(m, {}, 0,
                     QStringLiteral("Module %1: the file has no [%2]; the module is left as it is")
                         .arg(m)
                         .arg(sectionName(file.number, m)));
            continue;
        }
        if (s.repeatedAt) {
            refused(m, {}, s.repeatedAt,
                    QStringLiteral("[%1] appears twice (lines %2 and %3): the file is ambiguous, "
                                   "so nothing of module %4 is written")
                        .arg(sectionName(file.number, m))
                        .arg(s.line)
                        .arg(s.repeatedAt)
                        .arg(m));
            continue;
        }
        if (!state.present(m)) {
            refused(m, {}, s.line,
                    QStringLiteral("Module %1: the unit has no module in position %1, so nothing "
                                   "of [%2] is written")
                        .arg(m)
                        .arg(sectionName(file.number, m)));
            continue;
        }
        if (const QString why = typeRefusal(m, s, state, sectionName(file.number, m));
            !why.isEmpty()) {
            const Value *code = s.value(K::ModuleCode);
            refused(m, K::ModuleCode, code ? code->line : s.line, why);
            continue;
        }
        identity(m, s, K::SerialNumber, state.moduleSerial.at(std::size_t(m - 1)));
        identity(m, s, K::MajorVersion, state.moduleMajor.at(std::size_t(m - 1)));
        identity(m, s, K::MinorVersion, state.moduleMinor.at(std::size_t(m - 1)));

        const QList<Id> ids = compared(file, m);
        for (Id id : CS::ModuleIds) {
            const Value *v = s.value(CS::key(id));
            if (!ids.contains(id)) {
                if (id == Id::Setpoint && v)
                    info(m, CS::key(id), v->line,
                         said(CS::key(id), *v) +
                             QStringLiteral(": a set-point of 0 means \"not set\" and is not "
                                            "written"));
                else if (!v && id != Id::CurrentLimit && id != Id::ActivationTime &&
                         id != Id::ResetTime)
                    missing(m, s, id);
                continue;
            }
            if (v->repeatedAt) {
                refused(m, CS::key(id), v->repeatedAt,
                        QStringLiteral("%1 appears twice in [%2] (lines %3 and %4): not applied")
                            .arg(CS::key(id), sectionName(file.number, m))
                            .arg(v->line)
                            .arg(v->repeatedAt))
                    ->setting = id;
                continue;
            }
            if (id == Id::LimitMode) {
                const int mode = CS::modeFromName(v->text);
                if (mode < 0) {
                    refused(m, CS::key(id), v->line,
                            said(CS::key(id), *v) +
                                QStringLiteral(": the unit knows Normal, Latching, Hiccup and "
                                               "CurrentShare"))
                        ->setting = id;
                    continue;
                }
                int reset = 0;
                QString note;
                if (mode == int(CS::Mode::Latching)) {
                    const Value *rv = s.value(K::EnableReset);
                    const auto held = state.value(m, id);
                    if (!rv) {
                        reset = held ? CS::resetOf(*held) : 0;
                        note = QStringLiteral("EnableReset is missing: the unit's stays");
                    } else if (rv->text.trimmed() == QLatin1String("0") ||
                               rv->text.trimmed() == QLatin1String("1")) {
                        reset = rv->text.trimmed().toInt();
                    } else {
                        refused(m, K::EnableReset, rv->line,
                                said(K::EnableReset, *rv) +
                                    QStringLiteral(": the unit takes 0 or 1 here"))
                            ->setting = id;
                        continue;
                    }
                }
                compare(m, id, v, CS::modeValue(mode, reset), note, r);
                continue;
            }
            const auto otherLimit =
                id == Id::HighLimit
                    ? state.value(m, Id::LowLimit)
                    : (id == Id::LowLimit ? state.value(m, Id::HighLimit) : std::nullopt);
            const Checked c = check(id, *v, s, r, otherLimit);
            if (c.value)
                compare(m, id, v, *c.value, c.note, r);
            else
                refused(m, CS::key(id), v->line, c.refusal)->setting = id;
        }
        holdBack(m, QStringLiteral("held back: a value of module %1 was refused, so nothing of "
                                   "it is written")
                        .arg(m));
    }
    return plan;
}

int ConfigPlan::count(Kind kind) const
{
    int n = 0;
    for (const Row &row : rows)
        n += row.kind == kind ? 1 : 0;
    return n;
}

QList<int> ConfigPlan::writable() const
{
    QList<int> list;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).kind == Kind::Write)
            list << i;
    }
    return list;
}

std::optional<qint32> ConfigPlan::valueAfter(int m, Id id, const QList<int> &chosen) const
{
    for (int i = 0; i < rows.size(); ++i) {
        const Row &row = rows.at(i);
        if (row.module == m && row.setting == id && row.kind == Kind::Write && chosen.contains(i))
            return row.fileValue;
    }
    return state.value(m, id);
}

std::optional<qint32> ConfigPlan::modeAfter(int m, const QList<int> &chosen) const
{
    return valueAfter(m, Id::LimitMode, chosen);
}

QString ConfigPlan::limitsRefusal(int m, const QList<int> &chosen) const
{
    bool touched = false;
    for (int i : chosen) {
        if (i < 0 || i >= rows.size())
            continue;
        const Row &row = rows.at(i);
        touched = touched || (row.module == m && row.kind == Kind::Write &&
                              (row.setting == Id::HighLimit || row.setting == Id::LowLimit));
    }
    const auto high = valueAfter(m, Id::HighLimit, chosen);
    const auto low = valueAfter(m, Id::LowLimit, chosen);
    const clsScalability &r = ratings(m);
    if (!touched || !high || !low || r.VoltageScaleFactor == 0)
        return {};
    const QString dot = QStringLiteral(".");
    const QString h = NumberText::fromDouble(*high / r.VoltageScaleFactor, dot);
    const QString l = NumberText::fromDouble(*low / r.VoltageScaleFactor, dot);
    FieldRules::Verdict verdict = FieldRules::highLimit(h, l, r.MinVoltage, r.MaxVoltage, dot);
    if (verdict.accepted)
        verdict = FieldRules::lowLimit(l, h, r.MinVoltage, r.MaxVoltage, dot);
    if (verdict.accepted)
        return {};
    return QStringLiteral("Module %1: written as chosen, the module-good limits would be %2 V "
                          "(high) and %3 V (low): %4")
        .arg(m)
        .arg(h, l, verdict.message);
}
