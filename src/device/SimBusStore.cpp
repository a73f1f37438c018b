#include "device/SimBusStore.h"

#include "core/IniFile.h"
#include "device/SimBusDemo.h"
#include "device/SimBusIniKeys.h"
#include "device/SimBusReport.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace K = SimBusIniKeys;

namespace {

const char DemoHeader[] =
    "; Simulated bus: the virtual units the program talks to when no hardware is\r\n"
    "; attached. Each [Supply<n>] is one unit (UnitID 1..32), each\r\n"
    "; [Supply<n>.Module<m>] a module in position m. Raw values are device counts.\r\n"
    "; [Bus] Ports=extra port names; WireModel=1/0 (line timing, default on).\r\n"
    "; Faults: Silent=1 or ForcedAlarms=1,6 in a supply; in [Faults]\r\n"
    "; Fail1=method, unit, module, once|always, reply (0 = any unit or module).\r\n";

QString number(qint64 value)
{
    return QString::number(value);
}

} // namespace

SimBusStore::SimBusStore(const QString &applicationFolder)
    : m_folder(applicationFolder)
    , m_path(QDir(applicationFolder).filePath(K::FileName))
{}

void SimBusStore::load()
{
    if (!QFile::exists(m_path)) {
        writeDemoBus();
        return;
    }
    if (readFile())
        return;

    // Keep what the user had before anything overwrites it.
    const QString badPath = m_path + K::BadFileSuffix;
    QFile::remove(badPath);
    if (!QFile::rename(m_path, badPath)) {
        SimBusReport::toErrorFile(m_folder,
                                  QStringLiteral("Simulated bus: %1 holds no usable unit and "
                                                 "could not be set aside; the demo bus runs "
                                                 "without being saved")
                                      .arg(m_path));
        m_units = SimBusDemo::units();
        m_writeFailureReported = true; // the bad file must stay as it is
        m_path.clear();
        return;
    }
    SimBusReport::toErrorFile(m_folder, QStringLiteral("Simulated bus: %1 holds no usable unit; "
                                                       "kept as %2 and replaced by the demo bus")
                                            .arg(m_path, badPath));
    writeDemoBus();
}

int SimBusStore::readInt(const QString &section, const QString &key, int min, int max,
                         int fallback) const
{
    bool ok = false;
    const int value = IniFile::readString(m_path, section, key).trimmed().toInt(&ok);
    return ok && value >= min && value <= max ? value : fallback;
}

bool SimBusStore::readFile()
{
    IniBatch batch(m_path); // one parse for the whole read

    m_extraPorts.clear();
    const QStringList ports =
        IniFile::readString(m_path, K::BusSection, K::Ports).split(QLatin1Char(','));
    for (const QString &p : ports) {
        if (!p.trimmed().isEmpty())
            m_extraPorts << p.trimmed();
    }
    const QString wire = IniFile::readString(m_path, K::BusSection, K::WireModel).trimmed();
    if (wire == QLatin1String("1"))
        m_wireModel = true;
    else if (wire == QLatin1String("0"))
        m_wireModel = false;

    m_faultRules.clear();
    for (int k = 1; k <= K::MaxFaultRules; ++k) {
        const QString rule =
            IniFile::readString(m_path, K::FaultsSection, K::FaultKeyPrefix + number(k));
        if (!rule.trimmed().isEmpty())
            m_faultRules << rule;
    }

    m_units.clear();
    std::array<bool, 33> taken{};
    for (int slot = 1; slot <= K::MaxSupplies; ++slot) {
        // A supply without a valid, unused ID is not on the bus.
        const int id = readInt(K::supplySection(slot), K::UnitId, 1, 32, 0);
        if (id == 0 || taken[id])
            continue;
        taken[id] = true;
        m_units.push_back(readSupply(slot, static_cast<qint16>(id)));
    }
    return !m_units.empty();
}

SimUnitSettings SimBusStore::readSupply(int slot, qint16 unitId) const
{
    const SimUnitSettings d; // missing or malformed keys take these
    const QString s = K::supplySection(slot);
    const auto i16 = [&](const QString &section, const QString &key, int min, int max,
                         int fallback) {
        return static_cast<qint16>(readInt(section, key, min, max, fallback));
    };

    SimUnitSettings u;
    u.slot = slot;
    u.unitId = unitId;
    u.serialNumber = IniFile::readString(m_path, s, K::SerialNumber);
    u.majorVersion = i16(s, K::MajorVersion, 0, 32767, d.majorVersion);
    u.minorVersion = i16(s, K::MinorVersion, 0, 32767, d.minorVersion);
    u.fanFailPolarity = i16(s, K::FanFailPolarity, 0, 1, d.fanFailPolarity);
    u.dcGoodPolarity = i16(s, K::DcGoodPolarity, 0, 1, d.dcGoodPolarity);
    u.otFailPolarity = i16(s, K::OtFailPolarity, 0, 1, d.otFailPolarity);
    u.defaultGlobalPolarity = i16(s, K::DefaultGlobalPolarity, 0, 1, d.defaultGlobalPolarity);
    u.defaultGlobalState = i16(s, K::DefaultGlobalState, 0, 1, d.defaultGlobalState);
    u.defaultGroupState = i16(s, K::DefaultGroupState, 0, 1, d.defaultGroupState);
    u.operatingHours = readInt(s, K::OperatingHours, 0, 2147483647, 0);
    u.silent = readInt(s, K::Silent, 0, 1, 0) == 1;
    const QStringList alarms =
        IniFile::readString(m_path, s, K::ForcedAlarms).split(QLatin1Char(','));
    for (const QString &a : alarms) {
        bool ok = false;
        const int element = a.trimmed().toInt(&ok);
        if (ok && element >= 1 && element <= 8)
            u.forcedAlarms[element] = true;
    }

    for (int m = 1; m <= 5; ++m) {
        const QString ms = K::moduleSection(slot, m);
        const SimModuleSettings dm;
        SimModuleSettings &x = u.module(m);
        x.typeCode = i16(ms, K::TypeCode, 0, 32767, 0);
        if (!x.present())
            continue;
        x.serialNumber = IniFile::readString(m_path, ms, K::SerialNumber);
        x.majorVersion = i16(ms, K::MajorVersion, 0, 32767, dm.majorVersion);
        x.minorVersion = i16(ms, K::MinorVersion, 0, 32767, dm.minorVersion);
        x.programmingMode = i16(ms, K::ProgrammingMode, 0, 1, dm.programmingMode);
        x.onOffPolarity = i16(ms, K::OnOffPolarity, 0, 1, dm.onOffPolarity);
        x.startUpState = i16(ms, K::StartUpState, 0, 1, dm.startUpState);
        x.turnOnDelayMs = readInt(ms, K::TurnOnDelay, 0, 65535, dm.turnOnDelayMs);
        x.defaultVoltage = i16(ms, K::DefaultVoltage, 0, 32767, dm.defaultVoltage);
        x.goodHigh = i16(ms, K::GoodHigh, 0, 32767, dm.goodHigh);
        x.goodLow = i16(ms, K::GoodLow, 0, 32767, dm.goodLow);
        x.currentLimitMode = i16(ms, K::CurrentLimitMode, 0, 3, dm.currentLimitMode);
        x.enableReset = i16(ms, K::EnableReset, 0, 1, dm.enableReset);
        x.currentLimit = i16(ms, K::CurrentLimit, 0, 32767, dm.currentLimit);
        x.limitOnMs = readInt(ms, K::CurrentLimitOnTime, 0, 65535, dm.limitOnMs);
        x.limitOffMs = readInt(ms, K::CurrentLimitOffTime, 0, 65535, dm.limitOffMs);
        x.groupId = i16(ms, K::GroupId, 1, 3, dm.groupId);
        x.masterSlave = i16(ms, K::MasterSlave, 0, 2, dm.masterSlave);
        bool ok = false;
        const double ohms = IniFile::readString(m_path, ms, K::LoadOhms).trimmed().toDouble(&ok);
        x.loadOhms = ok && ohms >= 0 && ohms < 1e9 ? ohms : dm.loadOhms;
    }
    return u;
}

void SimBusStore::writeDemoBus()
{
    m_units = SimBusDemo::units();
    {
        QSaveFile file(m_path);
        if (!file.open(QIODevice::WriteOnly) || file.write(DemoHeader) < 0 || !file.commit()) {
            SimBusReport::toErrorFile(
                m_folder,
                QStringLiteral("Simulated bus: %1 could not be written; the demo bus runs "
                               "without being saved")
                    .arg(m_path));
            m_writeFailureReported = true;
            return;
        }
    }

    IniBatch batch(m_path);
    for (const SimUnitSettings &u : m_units) {
        writeUnit(u, K::UnitId, number(u.unitId));
        writeUnit(u, K::SerialNumber, u.serialNumber);
        writeUnit(u, K::MajorVersion, number(u.majorVersion));
        writeUnit(u, K::MinorVersion, number(u.minorVersion));
        writeUnit(u, K::FanFailPolarity, number(u.fanFailPolarity));
        writeUnit(u, K::DcGoodPolarity, number(u.dcGoodPolarity));
        writeUnit(u, K::OtFailPolarity, number(u.otFailPolarity));
        writeUnit(u, K::DefaultGlobalPolarity, number(u.defaultGlobalPolarity));
        writeUnit(u, K::DefaultGlobalState, number(u.defaultGlobalState));
        writeUnit(u, K::DefaultGroupState, number(u.defaultGroupState));
        writeUnit(u, K::OperatingHours, number(u.operatingHours));
        for (int m = 1; m <= 5; ++m) {
            const SimModuleSettings &x = u.module(m);
            if (!x.present())
                continue;
            writeModule(u, m, K::TypeCode, number(x.typeCode));
            writeModule(u, m, K::SerialNumber, x.serialNumber);
            writeModule(u, m, K::MajorVersion, number(x.majorVersion));
            writeModule(u, m, K::MinorVersion, number(x.minorVersion));
            writeModule(u, m, K::ProgrammingMode, number(x.programmingMode));
            writeModule(u, m, K::OnOffPolarity, number(x.onOffPolarity));
            writeModule(u, m, K::StartUpState, number(x.startUpState));
            writeModule(u, m, K::TurnOnDelay, number(x.turnOnDelayMs));
            writeModule(u, m, K::DefaultVoltage, number(x.defaultVoltage));
            writeModule(u, m, K::GoodHigh, number(x.goodHigh));
            writeModule(u, m, K::GoodLow, number(x.goodLow));
            writeModule(u, m, K::CurrentLimitMode, number(x.currentLimitMode));
            writeModule(u, m, K::EnableReset, number(x.enableReset));
            writeModule(u, m, K::CurrentLimit, number(x.currentLimit));
            writeModule(u, m, K::CurrentLimitOnTime, number(x.limitOnMs));
            writeModule(u, m, K::CurrentLimitOffTime, number(x.limitOffMs));
            writeModule(u, m, K::GroupId, number(x.groupId));
            writeModule(u, m, K::MasterSlave, number(x.masterSlave));
            writeModule(u, m, K::LoadOhms, QString::number(x.loadOhms, 'g', 6));
        }
    }
    if (!batch.commit() && !m_writeFailureReported) {
        m_writeFailureReported = true;
        SimBusReport::toErrorFile(m_folder,
                                  QStringLiteral("Simulated bus: the demo bus could not be "
                                                 "saved in %1")
                                      .arg(m_path));
    }
}

void SimBusStore::writeUnit(const SimUnitSettings &unit, const QString &key, const QString &value)
{
    write(K::supplySection(unit.slot), key, value);
}

void SimBusStore::writeModule(const SimUnitSettings &unit, int module, const QString &key,
                              const QString &value)
{
    write(K::moduleSection(unit.slot, module), key, value);
}

void SimBusStore::write(const QString &section, const QString &key, const QString &value)
{
    if (m_path.isEmpty())
        return;
    if (!IniFile::writeValue(m_path, section, key, value) && !m_writeFailureReported) {
        m_writeFailureReported = true;
        SimBusReport::toErrorFile(m_folder,
                                  QStringLiteral("Simulated bus: %1 could not be written; "
                                                 "settings last until the program ends")
                                      .arg(m_path));
    }
}
