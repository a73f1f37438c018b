#include "configfile/ConfigSession.h"

#include "configfile/ConfigFileKeys.h"
#include "configfile/ZelkConfigFile.h"
#include "core/IniFile.h"
#include "core/ZelkDevice.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/SerialBus.h"
#include "device/ZelkData.h"

#include <algorithm>
#include <map>
#include <memory>

namespace K = ConfigFileKeys;
namespace CS = ConfigSetting;
using CS::Id;

namespace {

QString where(int unit, int module)
{
    return module == 0 ? QStringLiteral("unit %1").arg(unit)
                       : QStringLiteral("module %1 of unit %2").arg(module).arg(unit);
}

QString failedCall(const QString &what, int unit, int module, const QString &reply)
{
    return QStringLiteral("%1 of %2 answered %3").arg(what, where(unit, module), reply);
}

QString reading(Id id)
{
    return QStringLiteral("reading %1").arg(CS::key(id));
}

} // namespace

ConfigSession::Outcome ConfigSession::worse(Outcome a, Outcome b)
{
    const auto rank = [](Outcome o) {
        switch (o) {
        case Outcome::DeviceError:
            return 3;
        case Outcome::Refused:
            return 2;
        case Outcome::VerifyDiffers:
            return 1;
        case Outcome::Done:
            break;
        }
        return 0;
    };
    return rank(a) >= rank(b) ? a : b;
}

ConfigSession::ConfigSession(ZelkDevice &device, const QString &port)
    : m_device(device)
    , m_port(port)
{}

void ConfigSession::tell(const QString &line)
{
    if (progress)
        progress(line);
}

bool ConfigSession::open(QString *error)
{
    const QString reply = m_device.OpenPort(m_port);
    if (IsCmdOk(reply))
        return true;
    m_device.ClosePort();
    // In the error file as the windows' own reads put it; the caller tells the user.
    logPortNotOpened(m_port);
    if (error)
        *error = QStringLiteral("the port %1 could not be opened (%2)").arg(m_port, reply);
    return false;
}

void ConfigSession::close()
{
    m_device.ClosePort();
}

QString ConfigSession::neverRead(const ConfigFileContents::Unit &section)
{
    const ConfigFileContents::Value *serial = section.unit.value(K::SerialNumber);
    if (serial && !serial->text.trimmed().isEmpty())
        return {};
    for (int m = 1; m <= 5; ++m) {
        if (section.module(m).exists)
            return {};
    }
    return QStringLiteral("[PS%1] was never read from a unit (it has no serial number and no "
                          "module): it holds no configuration, so nothing of it is applied")
        .arg(section.number);
}

std::optional<UnitState> ConfigSession::readState(const ConfigFileContents::Unit &file, int unit,
                                                  QString *error)
{
    return readInto(&file, unit, error);
}

std::optional<UnitState> ConfigSession::readUnit(int unit, QString *error)
{
    return readInto(nullptr, unit, error);
}

std::optional<UnitState> ConfigSession::readInto(const ConfigFileContents::Unit *file, int unit,
                                                 QString *error)
{
    if (!open(error))
        return std::nullopt;
    // What decides a write is the unit as it is now, not as a read kept a
    // minute ago saw it: another client may have changed it since.
    SerialBus::readAfresh(unit);
    // Each module's ratings are several keys of scale.ini: parsed once for them all.
    IniBatch ratings(ZelkGlobals::ScaleIniPath);
    UnitState state;
    state.unit = unit;
    const UnitArg u(QString::number(unit));
    QString failure;
    // Without a file every setting is read; with one, what its sections carry.
    const auto unitWants = [file](const QString &key) {
        return !file || (file->unit.exists && file->unit.value(key));
    };
    const auto settings = [file](int module) {
        if (file)
            return ConfigPlan::compared(*file, module);
        QList<Id> ids;
        for (Id id : module == 0 ? QList<Id>(std::begin(CS::UnitIds), std::end(CS::UnitIds))
                                 : QList<Id>(std::begin(CS::ModuleIds), std::end(CS::ModuleIds)))
            ids << id;
        return ids;
    };
    // Each read counts; the first failure ends the read.
    const auto ok = [&](const QString &reply, const QString &what, int module) {
        ++counts.diffReads;
        if (IsCmdOk(reply))
            return true;
        failure = failedCall(what, unit, module, reply);
        return false;
    };
    const auto read = [&]() -> bool {
        StatusArray present;
        ++counts.diffReads;
        const QString reply = m_device.GetPresentModules(u, present);
        if (!IsCmdOk(reply)) {
            failure = QStringLiteral("unit %1 does not answer (%2)").arg(unit).arg(reply);
            return false;
        }
        for (int m = 1; m <= 5; ++m)
            state.presentModules += present(m) == 1 ? QLatin1Char('1') : QLatin1Char('0');
        for (Id id : settings(0)) {
            qint32 v = 0;
            if (!ok(CS::get(m_device, u, 0, id, v), reading(id), 0))
                return false;
            state.setValue(0, id, v);
        }
        if (unitWants(K::SerialNumber) && !ok(m_device.GetUnitSerialN(u, state.serialNumber),
                                              QStringLiteral("GetUnitSerialN"), 0))
            return false;
        if (unitWants(K::MajorVersion) || unitWants(K::MinorVersion)) {
            qint16 major = 0, minor = 0;
            if (!ok(m_device.GetUnitVersion(u, major, minor), QStringLiteral("GetUnitVersion"), 0))
                return false;
            state.majorVersion = QString::number(major);
            state.minorVersion = QString::number(minor);
        }
        for (int m = 1; m <= 5; ++m) {
            if (!state.present(m))
                continue;
            const ConfigFileContents::Section *s = file ? &file->module(m) : nullptr;
            if (s && (!s->exists || s->repeatedAt))
                continue;
            const auto moduleWants = [s](const QString &key) {
                return !s || s->value(key);
            };
            const std::size_t i = std::size_t(m - 1);
            qint16 code = 0;
            if (!ok(m_device.GetModuleType(u, qint16(m), code), QStringLiteral("GetModuleType"), m))
                return false;
            state.typeCode[i] = code;
            state.typeKnown[i] = true;
            state.ratings[i].fillFromScaleIni(code);
            // A module of another type is refused whole: nothing else of it is read.
            if (s && !ConfigPlan::typeMatches(*s, state.ratings[i]))
                continue;
            if (moduleWants(K::SerialNumber) &&
                !ok(m_device.GetModuleSerialN(u, qint16(m), state.moduleSerial[i]),
                    QStringLiteral("GetModuleSerialN"), m))
                return false;
            if (moduleWants(K::MajorVersion) || moduleWants(K::MinorVersion)) {
                qint16 major = 0, minor = 0;
                if (!ok(m_device.GetModuleVersion(u, qint16(m), major, minor),
                        QStringLiteral("GetModuleVersion"), m))
                    return false;
                state.moduleMajor[i] = QString::number(major);
                state.moduleMinor[i] = QString::number(minor);
            }
            QList<Id> ids = settings(m);
            // A module-good limit is checked against the other: the unit's,
            // where the file does not carry it.
            if (file && ids.contains(Id::HighLimit) != ids.contains(Id::LowLimit))
                ids << (ids.contains(Id::HighLimit) ? Id::LowLimit : Id::HighLimit);
            for (Id id : ids) {
                qint32 v = 0;
                if (!ok(CS::get(m_device, u, m, id, v), reading(id), m))
                    return false;
                state.setValue(m, id, v);
            }
        }
        return true;
    };
    const bool done = read();
    close();
    if (!done) {
        if (error)
            *error = failure;
        return std::nullopt;
    }
    return state;
}

std::optional<ConfigPlan> ConfigSession::diff(const ConfigFileContents::Unit &file, int unit,
                                              QString *error, const QString &separator)
{
    tell(QStringLiteral("Unit %1: reading what [PS%2] sets").arg(unit).arg(file.number));
    const std::optional<UnitState> state = readState(file, unit, error);
    if (!state)
        return std::nullopt;
    return ConfigPlan::make(file, *state, separator);
}

ConfigSession::ApplyResult ConfigSession::apply(const ConfigPlan &plan,
                                                const QList<int> &chosenRows, bool verify)
{
    ApplyResult result;
    QList<int> chosen;
    for (int i : chosenRows) {
        if (i >= 0 && i < plan.rows.size() && plan.rows.at(i).kind == ConfigPlan::Kind::Write &&
            !chosen.contains(i))
            chosen << i;
    }
    std::sort(chosen.begin(), chosen.end()); // the rows stand in the order of writing
    if (chosen.isEmpty())
        return result;

    // A part of a limit pair that would break the pair is not written.
    QList<int> refusedRows;
    for (int m = 1; m <= 5; ++m) {
        const QString why = plan.limitsRefusal(m, chosen);
        if (why.isEmpty())
            continue;
        for (int i : chosen) {
            const ConfigPlan::Row &row = plan.rows.at(i);
            if (row.module == m && (row.setting == Id::HighLimit || row.setting == Id::LowLimit)) {
                Written w;
                w.row = i;
                w.module = m;
                w.setting = *row.setting;
                w.value = *row.fileValue;
                w.refusal = why;
                w.outcome = QStringLiteral("refused");
                w.text = why;
                result.written << w;
                refusedRows << i;
            }
        }
        result.outcome = worse(result.outcome, Outcome::Refused);
    }

    tell(QStringLiteral("Unit %1: writing").arg(plan.unit));
    if (!open(&result.failure)) {
        result.outcome = worse(result.outcome, Outcome::DeviceError);
        return result;
    }
    const UnitArg u(QString::number(plan.unit));
    const auto write = [&](int row, int m, Id id, qint32 value) {
        Written w;
        w.row = row;
        w.module = m;
        w.setting = id;
        w.value = value;
        const quint64 before = SerialBus::lastWrite().number;
        const QString reply = CS::set(m_device, u, m, id, value);
        // Taken before the reply is tested: that lets events run.
        const SerialBus::WriteSettlement settled = SerialBus::lastWrite();
        using Settled = SerialBus::WriteSettlement::Outcome;
        const Settled how = settled.number != before ? settled.outcome : Settled::Answered;
        if (row >= 0)
            ++counts.writes;
        else
            ++counts.followUps;
        w.written = IsCmdOk(reply);
        if (!w.written) {
            w.reply = reply;
            const bool unknown = how == Settled::Unknown;
            w.outcome = unknown ? QStringLiteral("unknown") : QStringLiteral("not written");
            w.text = (unknown ? QStringLiteral("outcome unknown: %1")
                              : QStringLiteral("not written: the unit answered %1"))
                         .arg(reply);
            result.failure = QStringLiteral("%1 of %2 answered %3")
                                 .arg(CS::setterName(id), where(plan.unit, m), reply);
            result.outcome = worse(result.outcome, Outcome::DeviceError);
        } else {
            const bool confirmed = how == Settled::Confirmed;
            w.outcome = confirmed ? QStringLiteral("confirmed") : QStringLiteral("written");
            w.text = confirmed ? QStringLiteral("written (confirmed by reading it back)")
                               : QStringLiteral("written");
            (m == 0 ? result.wroteUnit : result.wroteModules) = true;
        }
        result.written << w;
        return w.written;
    };
    for (int i : chosen) {
        if (refusedRows.contains(i))
            continue;
        const ConfigPlan::Row &row = plan.rows.at(i);
        if (!write(i, row.module, *row.setting, *row.fileValue))
            break; // a unit that fails a write gets nothing more
        // The unit may drop back to its default mode when its limit changes.
        if (row.setting == Id::CurrentLimit) {
            if (const auto mode = plan.modeAfter(row.module, chosen);
                mode && !write(-1, row.module, Id::LimitMode, *mode))
                break;
        }
    }

    if (verify) {
        tell(QStringLiteral("Unit %1: reading back what was written").arg(plan.unit));
        // Each setting once, against the last value written to it.
        for (int k = 0; k < result.written.size(); ++k) {
            Written &w = result.written[k];
            if (!w.written)
                continue;
            bool later = false;
            for (int j = k + 1; j < result.written.size(); ++j) {
                const Written &o = result.written.at(j);
                later = later || (o.written && o.module == w.module && o.setting == w.setting);
            }
            // Whatever the read back finds, the write's own outcome stays said.
            const QString wrote = w.outcome == QLatin1String("confirmed")
                                      ? QStringLiteral("written (confirmed by reading it back)")
                                      : QStringLiteral("written");
            if (later) {
                w.text = wrote;
                continue;
            }
            qint32 held = 0;
            const QString reply = CS::get(m_device, u, w.module, w.setting, held);
            ++counts.verifyReads;
            if (!IsCmdOk(reply)) {
                w.text = wrote + QStringLiteral("; the read back failed (%1)").arg(reply);
                result.verified = false;
                result.outcome = worse(result.outcome, Outcome::DeviceError);
                if (result.failure.isEmpty())
                    result.failure =
                        failedCall(QStringLiteral("the read back"), plan.unit, w.module, reply);
                continue;
            }
            w.readBack = held;
            const auto canon = [&w](qint32 v) {
                return w.setting == Id::LimitMode ? CS::modeValue(CS::modeOf(v), CS::resetOf(v))
                                                  : v;
            };
            w.verified = canon(held) == canon(w.value);
            if (w.verified) {
                w.text = wrote + QStringLiteral(", verified");
            } else {
                const clsScalability &r = w.module ? plan.ratings(w.module) : clsScalability();
                w.text =
                    QStringLiteral("verify: the unit holds %1, not %2")
                        .arg(ConfigPlan::valueText(w.setting, held, r, QStringLiteral(".")),
                             ConfigPlan::valueText(w.setting, w.value, r, QStringLiteral(".")));
                result.verified = false;
                result.outcome = worse(result.outcome, Outcome::VerifyDiffers);
            }
        }
    }
    close();
    return result;
}

ConfigSession::UnitSummary ConfigSession::applyTo(const ConfigFileContents::Unit &file, int unit,
                                                  bool dryRun, bool verify)
{
    UnitSummary s;
    s.unit = unit;
    QString error;
    s.plan = diff(file, unit, &error);
    if (!s.plan) {
        s.outcome = Outcome::DeviceError;
        s.text = QStringLiteral("Unit %1: %2").arg(unit).arg(error);
        s.result.failure = error;
        return s;
    }
    s.differences = s.plan->count(ConfigPlan::Kind::Write) + s.plan->count(ConfigPlan::Kind::Held);
    s.refused = s.plan->count(ConfigPlan::Kind::Refused);
    if (s.refused)
        s.outcome = Outcome::Refused;
    QStringList parts{QStringLiteral("%1 difference(s)").arg(s.differences)};
    if (s.refused)
        parts << QStringLiteral("%1 refused").arg(s.refused);
    if (!dryRun) {
        s.result = apply(*s.plan, s.plan->writable(), verify);
        for (const Written &w : s.result.written) {
            s.writes += w.written ? 1 : 0;
            s.verifyFailures += w.written && w.readBack && !w.verified ? 1 : 0;
        }
        s.outcome = worse(s.outcome, s.result.outcome);
        parts << QStringLiteral("%1 written").arg(s.writes);
        if (!s.result.failure.isEmpty())
            parts << s.result.failure;
        else if (verify && s.writes)
            parts << (s.verifyFailures
                          ? QStringLiteral("verify found %1 difference(s)").arg(s.verifyFailures)
                          : QStringLiteral("verified"));
    }
    s.text = QStringLiteral("Unit %1: %2").arg(unit).arg(parts.join(QStringLiteral(", ")));
    return s;
}

QList<ConfigSession::UnitSummary> ConfigSession::clone(const ConfigFileContents::Unit &file,
                                                       const QList<int> &units, bool dryRun,
                                                       bool verify)
{
    QList<UnitSummary> summaries;
    for (int unit : units)
        summaries << applyTo(file, unit, dryRun, verify);
    return summaries;
}

QList<int> ConfigSession::answeringUnits()
{
    QList<int> units;
    if (!open(nullptr))
        return units;
    for (int id = 1; id <= 32; ++id) {
        tell(QStringLiteral("Looking for unit %1 of 32").arg(id));
        qint16 probe = qint16(id);
        qint16 answer = 0;
        if (!ZelkDevice::nobodyAnswered(m_device.ProbeUnit(probe)) &&
            IsCmdOk(m_device.GetUnitID(probe, answer)))
            units << id;
    }
    close();
    return units;
}

bool ConfigSession::restartOutputs(int unit, QString *error)
{
    if (!open(error))
        return false;
    const UnitArg byText(QString::number(unit));
    const UnitArg byNumber{qint16(unit)}; // as the editor's restart passes it
    qint16 state = 0, polarity = 0;
    QString reply = m_device.GetDefaultGlobalOutputState(byText, state);
    if (IsCmdOk(reply))
        reply = m_device.GetDefaultGlobalOutputPolarity(byText, polarity);
    if (IsCmdOk(reply))
        reply = m_device.SetGlobalOutputState(byNumber, 0);
    // On again only where the unit's default would switch it on by itself.
    if (IsCmdOk(reply) && state == polarity)
        reply = m_device.SetGlobalOutputState(byNumber, 1);
    close();
    if (!IsCmdOk(reply) && error)
        *error =
            QStringLiteral("restarting the outputs of unit %1 failed (%2)").arg(unit).arg(reply);
    return IsCmdOk(reply);
}

ConfigSession::SaveResult ConfigSession::save(const QString &path, const QList<int> &units)
{
    SaveResult result;
    // Only units that answer are read: a silent ID would cost its timeouts
    // and an entry in the error file each.
    const QList<int> wanted = units.isEmpty() ? answeringUnits() : units;
    std::map<int, std::unique_ptr<ZelkData>> records;
    for (int unit : wanted) {
        tell(QStringLiteral("Unit %1: reading").arg(unit));
        auto record = std::make_unique<ZelkData>();
        // The module ratings of a read come from the selected unit, as in the editor.
        const QString selected = ZelkGlobals::SelectedUnitID;
        ZelkGlobals::SelectedUnitID = QString::number(unit);
        record->ReadZelkSetup(QString::number(unit));
        ZelkGlobals::SelectedUnitID = selected;
        if (ZelkGlobals::ErrorFlag) {
            result.failures << QStringLiteral("Unit %1: %2")
                                   .arg(unit)
                                   .arg(ZelkGlobals::LastError.isEmpty()
                                            ? QStringLiteral("does not answer")
                                            : ZelkGlobals::LastError);
            continue;
        }
        // The editor copies its Global option into the record before a save.
        record->GlobalOutput = record->Global;
        result.saved << unit;
        records[unit] = std::move(record);
    }
    const QString before = ZelkGlobals::ConfigFileToWrite;
    ZelkGlobals::ConfigFileToWrite = path;
    ZelkGlobals::LastFileKind = QStringLiteral("CONFIG");
    // The editor holds a record for every ID, read or not: an unread one
    // leaves its section with the six flags, and so does this save.
    const ZelkData unread;
    result.written = ZelkConfigFile::WriteAllUnits([&](int unit) -> const ZelkData * {
        const auto it = records.find(unit);
        return it == records.end() ? &unread : it->second.get();
    });
    ZelkGlobals::ConfigFileToWrite = before;
    return result;
}
