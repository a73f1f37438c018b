#include "configfile/ZelkConfigFile.h"

#include "configfile/ConfigFileKeys.h"
#include "core/Ini.h"
#include "core/IniFile.h"
#include "core/ZelkGlobals.h"
#include "device/ZelkData.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace ZelkConfigFile {

namespace K = ConfigFileKeys;

// Longest stretch of a save without letting the window's events run.
constexpr qint64 EventsEveryMs = 50;

QString BoolToStr(bool flag)
{
    return flag ? QStringLiteral("1") : QStringLiteral("0");
}

namespace {
// A text never given a value removes its key instead of writing it.
void writeText(const QString &section, const QString &key, const QString &value,
               const QString &path)
{
    if (value.isNull())
        DeleteIniKey(section, key, path);
    else
        WriteIni(section, key, value, path);
}
} // namespace

namespace {
// The unit's keys, written into the batch the caller holds.
void writeUnitSections(const ZelkData &data, const QString &unit, const QString &path)
{
    const QString ps = K::unitSection(unit);
    writeText(ps, K::PowerSupplyID, data.PowerSupplyID, path);
    writeText(ps, K::SerialNumber, data.SerialNumber, path);
    writeText(ps, K::MajorVersion, data.MajorVersion, path);
    writeText(ps, K::MinorVersion, data.MinorVersion, path);
    WriteIni(ps, K::FanFail, BoolToStr(data.FanFail), path);
    WriteIni(ps, K::GlobalDC, BoolToStr(data.GlobalDC), path);
    WriteIni(ps, K::OverTemp, BoolToStr(data.OverTemp), path);
    WriteIni(ps, K::GlobalOnOff, BoolToStr(data.GlobalOnOff), path);
    WriteIni(ps, K::Group, BoolToStr(data.Group), path);
    WriteIni(ps, K::Global, BoolToStr(data.GlobalOutput), path);
    writeText(ps, K::MODULES, data.MODULES, path);

    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &mod = data.Module(m);
        if (mod.SerialNumber.isEmpty() || mod.SerialNumber == Ini::NotAvailable)
            continue;
        // The module's texts lie scattered over the heap: asked for all at
        // once, their loads overlap instead of each write waiting for its
        // own. (Kept in this loop: in a function of its own the compiler
        // drops the hints as a call without effect.)
        for (const QString *text : {&mod.ModuleCode,
                                    &mod.SerialNumber,
                                    &mod.MajorVersion,
                                    &mod.MinorVersion,
                                    &mod.DefaultOutputPolarity,
                                    &mod.StartUpState,
                                    &mod.OutputVoltageSetpoint,
                                    &mod.VoltageHighLimit,
                                    &mod.VoltageLowLimit,
                                    &mod.CurrentLimitMode,
                                    &mod.CurrentLimit,
                                    &mod.StartUpDelay,
                                    &mod.ActivationTime,
                                    &mod.ResetTime,
                                    &mod.EnableReset,
                                    &mod.Master,
                                    &mod.Slave,
                                    &mod.Delay,
                                    &mod.State,
                                    &mod.ProgrammingMode})
            __builtin_prefetch(text->constData());
        const QString s = K::moduleSection(unit, m);
        writeText(s, K::ModuleCode, mod.ModuleCode, path);
        writeText(s, K::SerialNumber, mod.SerialNumber, path);
        writeText(s, K::MajorVersion, mod.MajorVersion, path);
        writeText(s, K::MinorVersion, mod.MinorVersion, path);
        writeText(s, K::DefaultOutputPolarity, mod.DefaultOutputPolarity, path);
        writeText(s, K::StartUpState, mod.StartUpState, path);
        writeText(s, K::OutputVoltageSetpoint, mod.OutputVoltageSetpoint, path);
        writeText(s, K::VoltageHighLimit, mod.VoltageHighLimit, path);
        writeText(s, K::VoltageLowLimit, mod.VoltageLowLimit, path);
        writeText(s, K::CurrentLimitMode, mod.CurrentLimitMode, path);
        writeText(s, K::CurrentLimit, mod.CurrentLimit, path);
        writeText(s, K::StartUpDelay, mod.StartUpDelay, path);
        writeText(s, K::ActivationTime, mod.ActivationTime, path);
        writeText(s, K::ResetTime, mod.ResetTime, path);
        writeText(s, K::EnableReset, mod.EnableReset, path);
        writeText(s, K::Master[m - 1], mod.Master, path);
        writeText(s, K::Slave[m - 1], mod.Slave, path);
        writeText(s, K::Delay[m - 1], mod.Delay, path);
        writeText(s, K::State[m - 1], mod.State, path);
        WriteIni(s, K::GroupId, QString::number(mod.GroupId), path);
        writeText(s, K::ProgrammingMode, mod.ProgrammingMode, path);
    }
}
} // namespace

void WriteZelkFile(const ZelkData &data, const QString &unit)
{
    const QString &path = ZelkGlobals::ConfigFileToWrite;
    // One parse and one write of the file for the whole unit.
    IniBatch batch(path);
    writeUnitSections(data, unit, path);
    if (!batch.commit())
        showIniWriteFailure(path, batch.errorString());
}

bool ReadZelkFile(ZelkData &data, const QString &unit, QString *errorText)
{
    const QString &path = ZelkGlobals::ConfigFileToRead;
    IniBatch batch(path); // one parse for every key of the unit
    const QString ps = K::unitSection(unit);
    const auto read = [&](const QString &section, const QString &key) {
        return ReadIni(section, key, path);
    };
    const auto flag = [&](const QString &key) {
        return read(ps, key) == QLatin1String("1");
    };

    // Everything is read into a copy first, so a rejected file changes nothing.
    struct Unit
    {
        QString id, serial, major, minor, modules;
        bool fanFail, globalDC, overTemp, globalOnOff, group, global;
    } u{read(ps, K::PowerSupplyID),
        read(ps, K::SerialNumber),
        read(ps, K::MajorVersion),
        read(ps, K::MinorVersion),
        read(ps, K::MODULES),
        flag(K::FanFail),
        flag(K::GlobalDC),
        flag(K::OverTemp),
        flag(K::GlobalOnOff),
        flag(K::Group),
        flag(K::Global)};

    std::array<ZelkModuleRecord, 5> modules;
    for (int m = 1; m <= 5; ++m) {
        ZelkModuleRecord mod = data.Module(m);
        const QString s = K::moduleSection(unit, m);
        mod.ModuleCode = read(s, K::ModuleCode);
        mod.SerialNumber = read(s, K::SerialNumber);
        mod.MajorVersion = read(s, K::MajorVersion);
        mod.MinorVersion = read(s, K::MinorVersion);
        mod.DefaultOutputPolarity = read(s, K::DefaultOutputPolarity);
        mod.StartUpState = read(s, K::StartUpState);
        mod.OutputVoltageSetpoint = read(s, K::OutputVoltageSetpoint);
        mod.VoltageHighLimit = read(s, K::VoltageHighLimit);
        mod.VoltageLowLimit = read(s, K::VoltageLowLimit);
        mod.CurrentLimitMode = read(s, K::CurrentLimitMode);
        mod.CurrentLimit = read(s, K::CurrentLimit);
        mod.StartUpDelay = read(s, K::StartUpDelay);
        mod.ActivationTime = read(s, K::ActivationTime);
        mod.ResetTime = read(s, K::ResetTime);
        mod.EnableReset = read(s, K::EnableReset);
        mod.Master = read(s, K::Master[m - 1]);
        mod.Slave = read(s, K::Slave[m - 1]);
        mod.Delay = read(s, K::Delay[m - 1]);
        mod.State = read(s, K::State[m - 1]);
        mod.ProgrammingMode = read(s, K::ProgrammingMode);
        const QString group = read(s, K::GroupId);
        if (group == Ini::NotAvailable) {
            mod.GroupId = 0;
        } else {
            bool ok = false;
            const int value = group.trimmed().toInt(&ok);
            if (!ok || value < -32768 || value > 32767) {
                if (errorText)
                    *errorText = QStringLiteral("The configuration file %1 cannot be read: "
                                                "GroupId of [%2] is \"%3\", not a group number.")
                                     .arg(path, s, group);
                return false;
            }
            mod.GroupId = static_cast<qint16>(value);
        }
        modules[m - 1] = mod;
    }

    data.PowerSupplyID = u.id;
    data.SerialNumber = u.serial;
    data.MajorVersion = u.major;
    data.MinorVersion = u.minor;
    data.FanFail = u.fanFail;
    data.GlobalDC = u.globalDC;
    data.OverTemp = u.overTemp;
    data.GlobalOnOff = u.globalOnOff;
    data.Group = u.group;
    data.Global = u.global;
    data.MODULES = u.modules;
    for (int m = 1; m <= 5; ++m)
        data.Module(m) = modules[m - 1];
    return true;
}

bool WriteAllUnits(const std::function<const ZelkData *(int unit)> &unitRecord,
                   const std::function<void(int unit)> &progress)
{
    const QString &path = ZelkGlobals::ConfigFileToWrite;
    IniBatch batch(path);
    // A save takes a millisecond or two; events run between units only once it
    // has lasted long enough for the window to feel stuck (a slow disk or
    // records), so a quick save does not pay for a repaint.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (int unit = 1; unit <= 32; ++unit) {
        if (progress)
            progress(unit);
        if (const ZelkData *data = unitRecord(unit))
            writeUnitSections(*data, QString::number(unit), path);
        if (sinceEvents.hasExpired(EventsEveryMs)) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    }
    const bool ok = batch.commit();
    if (!ok)
        showIniWriteFailure(path, batch.errorString());
    return ok;
}

} // namespace ZelkConfigFile
