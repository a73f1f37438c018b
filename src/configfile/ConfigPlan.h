#pragma once

#include "configfile/ConfigFileContents.h"
#include "configfile/ConfigSetting.h"
#include "core/clsScalability.h"

#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <optional>

// What a unit holds of the settings a configuration file carries, as the
// unit answered: device values, module types and their ratings, and the
// identity a clone must not copy.
struct UnitState
{
    int unit = 0;
    QString presentModules; // character m - 1 is '1' where module m is fitted
    std::array<qint16, 5> typeCode{};
    std::array<bool, 5> typeKnown{};
    std::array<clsScalability, 5> ratings;
    QString serialNumber, majorVersion, minorVersion;
    std::array<QString, 5> moduleSerial, moduleMajor, moduleMinor;

    bool present(int m) const;
    std::optional<qint32> value(int module, ConfigSetting::Id id) const;
    void setValue(int module, ConfigSetting::Id id, qint32 value);

private:
    QHash<int, qint32> m_values; // by module x 32 + setting
};

// One file section set against one unit, setting by setting, as device values:
// the volts and amperes of the file go through the module's scale factors as
// a write would send them, so that neither the form's rounding nor the
// current limit's five-character text makes or hides a difference. Every
// value to be written is checked as the editor checks a write: by its field's
// rule, by the module type's ratings and by what the unit can hold. Rows come
// in the order the editor writes (the unit's options, then modules 1 to 5).
class ConfigPlan
{
public:
    enum class Kind {
        Write,   // differs, and may be written
        Held,    // differs, but something else of its module (or unit) was refused
        Refused, // the file's value may not go into the unit
        Info,    // told, never written: identity, notes on the file
    };

    struct Row
    {
        Kind kind = Kind::Info;
        int module = 0; // 0 for the unit's own settings
        std::optional<ConfigSetting::Id> setting;
        QString key; // the file's key, when the row is about one
        int line = 0;
        QString unitText;
        QString fileText;
        std::optional<qint32> unitValue;
        std::optional<qint32> fileValue;
        QString message;
        // "Module 2 Set-point" or "Fan fail signal": the setting as a technician names it.
        QString name() const;
    };

    int section = 0; // PS<section> of the file
    int unit = 0;
    QList<Row> rows;
    int sameCount = 0; // settings compared and found equal

    // Settings compared per module (0: the unit), in write order: the reads a diff needs.
    static QList<ConfigSetting::Id> compared(const ConfigFileContents::Unit &file, int module);
    // decimalSeparator: how the texts of the rows show numbers.
    static ConfigPlan make(const ConfigFileContents::Unit &file, const UnitState &state,
                           const QString &decimalSeparator = QStringLiteral("."));

    int count(Kind kind) const;
    bool refused() const { return count(Kind::Refused) > 0; }
    QList<int> writable() const; // rows of kind Write

    // The mode module m runs after a write of chosen rows: the file's when its
    // row is chosen or equal, else the unit's. Nothing when neither is known.
    std::optional<qint32> modeAfter(int m, const QList<int> &chosen) const;
    // The value a chosen write leaves for a setting: the file's when chosen, else the unit's.
    std::optional<qint32> valueAfter(int m, ConfigSetting::Id id, const QList<int> &chosen) const;
    // A limit pair that only part of a choice would break (a high limit below
    // the unit's low one): the refusal, or empty.
    QString limitsRefusal(int m, const QList<int> &chosen) const;

    const clsScalability &ratings(int m) const { return state.ratings.at(std::size_t(m - 1)); }
    UnitState state;

    // The module section names the unit's module type, and that type has ratings.
    static bool typeMatches(const ConfigFileContents::Section &section, const clsScalability &r);
    // A number as a file may hold it, with "," or "." as its decimal separator.
    static std::optional<double> number(const QString &text);
    // A device value as the technician reads it ("12.5 V", "250 ms", "Low on Fail").
    static QString valueText(ConfigSetting::Id id, qint32 value, const clsScalability &ratings,
                             const QString &separator);
};
