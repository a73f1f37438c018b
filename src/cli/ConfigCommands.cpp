#include "cli/ConfigCommands.h"

#include "configfile/ConfigFileContents.h"
#include "configfile/ConfigPlan.h"
#include "configfile/ConfigSession.h"
#include "core/ZelkDevice.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ConfigCommands {

using namespace ZelkCtl;
namespace CS = ConfigSetting;
using Kind = ConfigPlan::Kind;

namespace {

const QString Json = QStringLiteral("--json");
const QString Dot = QStringLiteral(".");
// A file's problems listed one by one before the rest are only counted.
constexpr int ListedIssues = 20;

ConfigSession session(Console &console)
{
    ConfigSession s(*ZelkGlobals::Device, ZelkGlobals::ComPort);
    s.progress = [&console](const QString &line) {
        console.progress(line);
    };
    return s;
}

int fail(Console &console, int code, const QString &why)
{
    console.err << "zelkctl: " << why << Qt::endl;
    return code;
}

void print(Console &console, const QJsonObject &object)
{
    console.out << QJsonDocument(object).toJson(QJsonDocument::Indented);
}

// A failure before any result: with --json, standard output still carries
// one JSON object, which says why.
int failed(Console &console, const Arguments &args, int code, const QString &why)
{
    if (args.has(Json))
        print(console, {{"error", why}, {"exitCode", code}});
    return fail(console, code, why);
}

int exitOf(ConfigSession::Outcome outcome)
{
    return ConfigSession::exitCode(outcome);
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Write:
        return QStringLiteral("write");
    case Kind::Held:
        return QStringLiteral("held");
    case Kind::Refused:
        return QStringLiteral("refused");
    case Kind::Info:
        break;
    }
    return QStringLiteral("info");
}

QJsonValue optionalNumber(const std::optional<qint32> &v)
{
    return v ? QJsonValue(*v) : QJsonValue();
}

QJsonObject rowJson(const ConfigPlan::Row &row)
{
    return {{"kind", kindName(row.kind)},
            {"module", row.module},
            {"name", row.name()},
            {"key", row.key},
            {"line", row.line},
            {"unitText", row.unitText},
            {"fileText", row.fileText},
            {"unitValue", optionalNumber(row.unitValue)},
            {"fileValue", optionalNumber(row.fileValue)},
            {"message", row.message}};
}

QString rowText(const ConfigPlan::Row &row)
{
    QString text = QStringLiteral("  %1: ").arg(row.name());
    switch (row.kind) {
    case Kind::Write:
        text += QStringLiteral("unit %1, file %2").arg(row.unitText, row.fileText);
        break;
    case Kind::Held:
        text += QStringLiteral("unit %1, file %2; %3").arg(row.unitText, row.fileText, row.message);
        break;
    case Kind::Refused:
        text += QStringLiteral("REFUSED: ") + row.message;
        break;
    case Kind::Info:
        text += row.unitText.isEmpty() && row.fileText.isEmpty()
                    ? QStringLiteral("note: ") + row.message
                    : QStringLiteral("unit %1, file %2; %3")
                          .arg(row.unitText, row.fileText, row.message);
        break;
    }
    return text;
}

struct FileSection
{
    std::optional<ConfigFileContents> contents;
    const ConfigFileContents::Unit *unit = nullptr;
    int rc = Done;
    QStringList notes; // what the technician should know of the file's section
};

// The section to set against the units: --from, else the unit's own, else the only one.
FileSection fileSection(Console &console, const Arguments &args, const QString &path,
                        std::optional<int> ownUnit)
{
    FileSection f;
    QString error;
    f.contents = ConfigFileContents::read(path, &error);
    if (!f.contents) {
        f.rc = failed(console, args, Usage, QStringLiteral("cannot read %1: %2").arg(path, error));
        return f;
    }
    const QList<int> sections = f.contents->units();
    QStringList names;
    for (int n : sections)
        names << QStringLiteral("PS%1").arg(n);
    int chosen = 0;
    if (args.values.contains(QStringLiteral("--from"))) {
        const QString from = args.value(QStringLiteral("--from"));
        const auto n = from.startsWith(QLatin1String("PS"), Qt::CaseInsensitive)
                           ? unitNumber(from.mid(2))
                           : std::nullopt;
        if (!n || !sections.contains(*n)) {
            f.rc = failed(console, args, Usage,
                          QStringLiteral("%1 holds no section %2 (it holds %3)")
                              .arg(path, from,
                                   names.isEmpty() ? QStringLiteral("none")
                                                   : names.join(QStringLiteral(", "))));
            return f;
        }
        chosen = *n;
    } else if (ownUnit && sections.contains(*ownUnit)) {
        chosen = *ownUnit;
    } else if (sections.size() == 1) {
        chosen = sections.first();
    } else {
        f.rc = failed(console, args, Usage,
                      names.isEmpty() ? QStringLiteral("%1 holds no unit section").arg(path)
                                      : QStringLiteral("%1 holds %2: choose one with --from")
                                            .arg(path, names.join(QStringLiteral(", "))));
        return f;
    }
    const ConfigFileContents::Unit *unit = f.contents->unit(chosen);
    if (const QString why = ConfigSession::neverRead(*unit); !why.isEmpty()) {
        f.rc = failed(console, args, Usage, QStringLiteral("%1: %2").arg(path, why));
        return f;
    }
    f.unit = unit;
    const QList<ConfigFileContents::Issue> issues = f.contents->issuesOf(chosen);
    for (qsizetype i = 0; i < issues.size() && i < ListedIssues; ++i)
        f.notes << QStringLiteral("%1:%2: %3").arg(path).arg(issues[i].line).arg(issues[i].message);
    if (const qsizetype more = issues.size() - ListedIssues + f.contents->issuesLeftOut(chosen);
        more > 0)
        f.notes << QStringLiteral("%1: %2 more problem(s) of the same section not listed")
                       .arg(path)
                       .arg(more);
    return f;
}

QJsonArray notesJson(const QStringList &notes)
{
    return QJsonArray::fromStringList(notes);
}

void printNotes(Console &console, const QStringList &notes)
{
    for (const QString &note : notes)
        console.out << "  note: " << note << "\n";
}

QJsonObject stateJson(const UnitState &state)
{
    QJsonObject unitSettings;
    const clsScalability none;
    for (CS::Id id : CS::UnitIds) {
        if (const auto v = state.value(0, id))
            unitSettings.insert(
                CS::key(id),
                QJsonObject{{"value", *v}, {"text", ConfigPlan::valueText(id, *v, none, Dot)}});
    }
    QJsonArray modules;
    for (int m = 1; m <= 5; ++m) {
        if (!state.present(m))
            continue;
        const std::size_t i = std::size_t(m - 1);
        const clsScalability &r = state.ratings.at(i);
        QJsonObject settings;
        for (CS::Id id : CS::ModuleIds) {
            const auto v = state.value(m, id);
            if (!v)
                continue;
            QJsonObject s{{"value", *v}, {"text", ConfigPlan::valueText(id, *v, r, Dot)}};
            const CS::Kind k = CS::kind(id);
            const double factor = k == CS::Kind::Amps ? r.CurrentScaleFactor : r.VoltageScaleFactor;
            if ((k == CS::Kind::Volts || k == CS::Kind::VoltCounts || k == CS::Kind::Amps) &&
                factor != 0)
                s.insert("scaled", *v / factor);
            settings.insert(CS::key(id), s);
        }
        modules.append(
            QJsonObject{{"module", m},
                        {"typeCode", state.typeCode.at(i)},
                        {"type", r.Type},
                        {"serialNumber", state.moduleSerial.at(i)},
                        {"firmware", QStringLiteral("%1.%2").arg(state.moduleMajor.at(i),
                                                                 state.moduleMinor.at(i))},
                        {"settings", settings}});
    }
    return {{"unit", state.unit},
            {"serialNumber", state.serialNumber},
            {"firmware", QStringLiteral("%1.%2").arg(state.majorVersion, state.minorVersion)},
            {"presentModules", state.presentModules},
            {"settings", unitSettings},
            {"modules", modules}};
}

void printState(Console &console, const UnitState &state)
{
    const clsScalability none;
    console.out << "Unit " << state.unit << ": serial " << state.serialNumber << ", firmware "
                << state.majorVersion << "." << state.minorVersion << "\n";
    for (CS::Id id : CS::UnitIds) {
        if (const auto v = state.value(0, id))
            console.out << "  " << CS::title(id) << ": " << ConfigPlan::valueText(id, *v, none, Dot)
                        << "\n";
    }
    for (int m = 1; m <= 5; ++m) {
        const std::size_t i = std::size_t(m - 1);
        if (!state.present(m)) {
            console.out << "Module " << m << ": not fitted\n";
            continue;
        }
        const clsScalability &r = state.ratings.at(i);
        console.out << "Module " << m << ": " << r.Type << ", serial " << state.moduleSerial.at(i)
                    << ", firmware " << state.moduleMajor.at(i) << "." << state.moduleMinor.at(i)
                    << "\n";
        for (CS::Id id : CS::ModuleIds) {
            if (const auto v = state.value(m, id))
                console.out << "  " << CS::title(id) << ": "
                            << ConfigPlan::valueText(id, *v, r, Dot) << "\n";
        }
    }
    console.out.flush();
}

} // namespace

int scan(Console &console, const Arguments &args)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    const QString reply = device.OpenPort(ZelkGlobals::ComPort);
    if (!IsCmdOk(reply)) {
        device.ClosePort();
        logPortNotOpened(ZelkGlobals::ComPort);
        return fail(console, DeviceError,
                    QStringLiteral("the port %1 could not be opened (%2)")
                        .arg(ZelkGlobals::ComPort, reply));
    }
    QJsonArray units;
    int rc = Done;
    bool garbled = false;
    for (int id = 1; id <= 32; ++id) {
        console.progress(QStringLiteral("Looking for unit %1 of 32").arg(id));
        qint16 probe = qint16(id), answer = 0;
        const QString asked = device.ProbeUnit(probe);
        if (ZelkDevice::nobodyAnswered(asked))
            continue;
        garbled = garbled || !IsCmdOk(asked);
        const QString r = device.GetUnitID(probe, answer);
        // Silence is no unit; answers the line damaged are two units talking at once.
        if (ZelkDevice::nobodyAnswered(r))
            continue;
        const UnitArg u(QString::number(id));
        QJsonObject unit{{"unit", id}};
        if (!IsCmdOk(r)) {
            unit.insert("error",
                        QStringLiteral("garbled answer (%1): two units may share this ID").arg(r));
            units.append(unit);
            rc = DeviceError;
            continue;
        }
        QString serial;
        qint16 major = 0, minor = 0;
        StatusArray present;
        (void)device.GetUnitSerialN(u, serial);
        (void)device.GetUnitVersion(u, major, minor);
        (void)device.GetPresentModules(u, present);
        QJsonArray modules;
        for (int m = 1; m <= 5; ++m) {
            if (present(m) != 1)
                continue;
            qint16 code = 0;
            clsScalability ratings;
            if (IsCmdOk(device.GetModuleType(u, qint16(m), code)))
                ratings.fillFromScaleIni(code);
            modules.append(QJsonObject{{"module", m}, {"typeCode", code}, {"type", ratings.Type}});
        }
        unit.insert("serialNumber", serial);
        unit.insert("firmware", QStringLiteral("%1.%2").arg(major).arg(minor));
        unit.insert("modules", modules);
        units.append(unit);
    }
    device.ClosePort();

    const QString hint = units.isEmpty() || garbled ? ZelkDevice::slowUnitHint() : QString();
    if (args.has(Json)) {
        QJsonObject out{{"units", units}};
        if (!hint.isEmpty())
            out.insert("note", hint);
        print(console, out);
        return rc;
    }
    for (const QJsonValue &v : std::as_const(units)) {
        const QJsonObject u = v.toObject();
        if (u.contains("error")) {
            console.out << "Unit " << u["unit"].toInt() << ": " << u["error"].toString() << "\n";
            continue;
        }
        QStringList types;
        for (const QJsonValue &m : u["modules"].toArray())
            types << QStringLiteral("%1:%2").arg(m["module"].toInt()).arg(m["type"].toString());
        console.out << "Unit " << u["unit"].toInt() << ": serial " << u["serialNumber"].toString()
                    << ", firmware " << u["firmware"].toString() << ", modules "
                    << (types.isEmpty() ? QStringLiteral("none") : types.join(QStringLiteral(", ")))
                    << "\n";
    }
    console.out << units.size() << " unit(s) answer\n";
    if (!hint.isEmpty())
        console.out << hint << "\n";
    return rc;
}

int read(Console &console, const Arguments &args)
{
    const auto unit = unitNumber(args.words.value(0));
    if (args.words.size() != 1 || !unit)
        return failed(console, args, Usage, QStringLiteral("read takes one unit ID, 1 to 32"));
    ConfigSession s = session(console);
    QString error;
    const std::optional<UnitState> state = s.readUnit(*unit, &error);
    if (!state)
        return failed(console, args, DeviceError, error);
    if (args.has(Json))
        print(console, stateJson(*state));
    else
        printState(console, *state);
    return Done;
}

int save(Console &console, const Arguments &args)
{
    if (args.words.isEmpty())
        return fail(console, Usage, QStringLiteral("save takes a file name"));
    QList<int> units;
    for (const QString &w : args.words.mid(1)) {
        const auto n = unitNumber(w);
        if (!n)
            return fail(console, Usage, QStringLiteral("%1 is not a unit ID, 1 to 32").arg(w));
        units << *n;
    }
    ConfigSession s = session(console);
    const ConfigSession::SaveResult result = s.save(args.words.first(), units);
    for (const QString &line : result.failures)
        console.err << "zelkctl: " << line << Qt::endl;
    if (!result.written)
        return fail(console, Usage,
                    QStringLiteral("%1 could not be written").arg(args.words.first()));
    QStringList saved;
    for (int u : result.saved)
        saved << QString::number(u);
    console.out << "Saved unit(s) "
                << (saved.isEmpty() ? QStringLiteral("none") : saved.join(QStringLiteral(", ")))
                << " to " << args.words.first() << Qt::endl;
    return result.failures.isEmpty() && !result.saved.isEmpty() ? Done : DeviceError;
}

int diff(Console &console, const Arguments &args)
{
    const auto unit = unitNumber(args.words.value(1));
    if (args.words.size() != 2 || !unit)
        return failed(console, args, Usage, QStringLiteral("diff takes a file and one unit ID"));
    const FileSection f = fileSection(console, args, args.words.at(0), unit);
    if (!f.unit)
        return f.rc;
    ConfigSession s = session(console);
    QString error;
    const std::optional<ConfigPlan> plan = s.diff(*f.unit, *unit, &error);
    if (!plan)
        return failed(console, args, DeviceError, error);
    const int rc = plan->refused() ? int(Refused) : int(Done);
    if (args.has(Json)) {
        QJsonArray rows;
        for (const ConfigPlan::Row &row : plan->rows)
            rows.append(rowJson(row));
        print(console, {{"unit", *unit},
                        {"section", QStringLiteral("PS%1").arg(plan->section)},
                        {"same", plan->sameCount},
                        {"notes", notesJson(f.notes)},
                        {"rows", rows}});
        return rc;
    }
    console.out << "Unit " << *unit << " against [PS" << plan->section << "] of "
                << args.words.at(0) << ":\n";
    printNotes(console, f.notes);
    for (const ConfigPlan::Row &row : plan->rows)
        console.out << rowText(row) << "\n";
    console.out << "Unit " << *unit << ": " << plan->count(Kind::Write) << " to write, "
                << plan->count(Kind::Held) << " held back, " << plan->count(Kind::Refused)
                << " refused, " << plan->sameCount << " the same" << Qt::endl;
    return rc;
}

int apply(Console &console, const Arguments &args)
{
    if (args.words.size() < 2)
        return failed(console, args, Usage,
                      QStringLiteral("apply takes a file and one or more unit IDs"));
    const bool all = args.words.mid(1) == QStringList{QStringLiteral("all")};
    QList<int> units;
    if (!all) {
        for (const QString &w : args.words.mid(1)) {
            const auto n = unitNumber(w);
            if (!n)
                return failed(console, args, Usage,
                              QStringLiteral("%1 is not a unit ID, 1 to 32").arg(w));
            units << *n;
        }
    }
    const FileSection f =
        fileSection(console, args, args.words.at(0),
                    units.size() == 1 ? std::optional<int>(units.first()) : std::nullopt);
    if (!f.unit)
        return f.rc;
    ConfigSession s = session(console);
    if (all) {
        units = s.answeringUnits();
        if (units.isEmpty())
            return failed(console, args, DeviceError,
                          QStringLiteral("no unit answers. ") + ZelkDevice::slowUnitHint());
    }
    const bool dryRun = args.has(QStringLiteral("--dry-run"));
    const bool verify = !args.has(QStringLiteral("--no-verify"));
    const QList<ConfigSession::UnitSummary> summaries = s.clone(*f.unit, units, dryRun, verify);

    int rc = Done;
    QJsonArray jsonUnits;
    QStringList summaryLines;
    for (const ConfigSession::UnitSummary &u : summaries) {
        int unitRc = exitOf(u.outcome);
        QString restart;
        if (args.has(QStringLiteral("--restart")) && !dryRun && u.result.wroteModules &&
            u.outcome != ConfigSession::Outcome::DeviceError) {
            QString error;
            if (s.restartOutputs(u.unit, &error)) {
                restart = QStringLiteral("outputs restarted");
            } else {
                restart = error;
                unitRc = worst(unitRc, DeviceError);
            }
        }
        rc = worst(rc, unitRc);
        QString line = u.text;
        if (!restart.isEmpty())
            line += QStringLiteral(", ") + restart;
        summaryLines << line;

        QJsonArray rows, written;
        if (u.plan) {
            for (const ConfigPlan::Row &row : u.plan->rows)
                rows.append(rowJson(row));
        }
        for (const ConfigSession::Written &w : u.result.written) {
            const clsScalability &r =
                w.module && u.plan ? u.plan->ratings(w.module) : clsScalability();
            written.append(QJsonObject{{"module", w.module},
                                       {"key", CS::key(w.setting)},
                                       {"value", w.value},
                                       {"text", ConfigPlan::valueText(w.setting, w.value, r, Dot)},
                                       {"followUp", w.row < 0},
                                       {"written", w.written},
                                       {"outcome", w.outcome},
                                       {"verified", w.verified},
                                       {"readBack", optionalNumber(w.readBack)},
                                       {"result", w.text}});
        }
        jsonUnits.append(QJsonObject{{"unit", u.unit},
                                     {"exitCode", unitRc},
                                     {"differences", u.differences},
                                     {"refused", u.refused},
                                     {"writes", u.writes},
                                     {"verifyFailures", u.verifyFailures},
                                     {"summary", line},
                                     {"rows", rows},
                                     {"written", written}});
        if (args.has(Json))
            continue;
        console.out << "Unit " << u.unit << " from [PS" << f.unit->number << "]"
                    << (dryRun ? " (dry run, nothing written)" : "") << ":\n";
        printNotes(console, f.notes);
        if (u.plan) {
            // Notes too: a technician cloning between units must see a key
            // missing from the file or a file of another serial number.
            for (const ConfigPlan::Row &row : u.plan->rows)
                console.out << rowText(row) << "\n";
        }
        for (const ConfigSession::Written &w : u.result.written) {
            const clsScalability &r =
                w.module && u.plan ? u.plan->ratings(w.module) : clsScalability();
            const QString name =
                w.module ? QStringLiteral("Module %1 %2").arg(w.module).arg(CS::title(w.setting))
                         : CS::title(w.setting);
            console.out << "  " << name << " = "
                        << ConfigPlan::valueText(w.setting, w.value, r, Dot) << ": " << w.text
                        << "\n";
        }
        console.out.flush();
    }
    if (args.has(Json)) {
        print(console, {{"section", QStringLiteral("PS%1").arg(f.unit->number)},
                        {"notes", notesJson(f.notes)},
                        {"dryRun", dryRun},
                        {"exitCode", rc},
                        {"units", jsonUnits}});
        return rc;
    }
    console.out << "Summary:\n";
    for (const QString &line : summaryLines)
        console.out << "  " << line << "\n";
    console.out.flush();
    return rc;
}

} // namespace ConfigCommands
