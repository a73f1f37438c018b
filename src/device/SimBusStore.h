#pragma once

#include "device/SimBusSettings.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The units' stored settings in simbus.ini. The file is read once when the
// bus is made; every change is written through at once, so a setting survives
// the program. A missing file gets the demo bus; a file with no usable supply
// is kept as simbus.ini.bad, reported once, and replaced by the demo bus.
class SimBusStore
{
public:
    explicit SimBusStore(const QString &applicationFolder);

    void load();

    const QString &path() const { return m_path; }
    std::vector<SimUnitSettings> &units() { return m_units; }
    const std::vector<SimUnitSettings> &units() const { return m_units; }
    const QStringList &extraPorts() const { return m_extraPorts; }
    std::optional<bool> wireModel() const { return m_wireModel; }
    const QStringList &faultRules() const { return m_faultRules; }

    // Write one key of a supply or of one of its modules. A file that cannot be
    // written is reported once; the bus then keeps the value for this run only.
    void writeUnit(const SimUnitSettings &unit, const QString &key, const QString &value);
    void writeModule(const SimUnitSettings &unit, int module, const QString &key,
                     const QString &value);

private:
    bool readFile();
    SimUnitSettings readSupply(int slot, qint16 unitId) const;
    void writeDemoBus();
    void write(const QString &section, const QString &key, const QString &value);
    int readInt(const QString &section, const QString &key, int min, int max, int fallback) const;

    QString m_folder;
    QString m_path;
    std::vector<SimUnitSettings> m_units;
    QStringList m_extraPorts;
    std::optional<bool> m_wireModel;
    QStringList m_faultRules;
    bool m_writeFailureReported = false;
};
