#pragma once

#include "core/UnitArg.h"

#include <QString>
#include <QtGlobal>

class ZelkDevice;

// The settings a configuration file puts into a unit: the ones the editor's
// two Apply buttons write, in the order they write them (unit options first,
// then each module), with the device calls that read and write each one.
// Values are the device's own numbers; the current-limit mode carries the
// enable-reset flag in its second byte, and only while latching.
namespace ConfigSetting {

enum class Id {
    // The unit's options
    FanFail,
    GlobalDC,
    OverTemp,
    GroupState,
    GlobalOnOff,
    Global,
    // A module's settings
    ProgrammingMode,
    Polarity,
    StartUpState,
    StartUpDelay,
    Setpoint,
    HighLimit,
    LowLimit,
    LimitMode,
    CurrentLimit,
    ActivationTime,
    ResetTime,
};

inline constexpr Id UnitIds[] = {Id::FanFail,    Id::GlobalDC,    Id::OverTemp,
                                 Id::GroupState, Id::GlobalOnOff, Id::Global};
inline constexpr Id ModuleIds[] = {Id::ProgrammingMode, Id::Polarity,  Id::StartUpState,
                                   Id::StartUpDelay,    Id::Setpoint,  Id::HighLimit,
                                   Id::LowLimit,        Id::LimitMode, Id::CurrentLimit,
                                   Id::ActivationTime,  Id::ResetTime};

enum class Kind {
    Option,       // 0 or 1, shown by the option's caption
    Milliseconds, // 0..65535
    Volts,        // raw = volts x voltage scale factor
    VoltCounts,   // held as raw counts in the file, shown in volts
    Amps,         // raw = amperes x current scale factor
    Mode,         // current-limit mode code, enable-reset in the second byte
};

Kind kind(Id id);
bool isModule(Id id);
// The file's key: "FanFail", "OutputVoltageSetpoint", ...
QString key(Id id);
// The device method that writes it: "SetDefaultOutputVoltage", ...
QString setterName(Id id);
// As the technician knows it: "Fan fail signal", "Set-point", ...
QString title(Id id);
// The caption of an option's value, as the editor's buttons name it.
QString optionCaption(Id id, qint32 value);

// Current-limit modes and how the mode setting carries them.
enum class Mode { Normal = 0, Latching = 1, Hiccup = 2, CurrentShare = 3 };
qint32 modeValue(int mode, int enableReset);
int modeOf(qint32 value);
int resetOf(qint32 value);
QString modeName(int mode); // the file's word: "Normal", "Latching", ...
// -1 for a word that names no mode.
int modeFromName(const QString &name);
QString modeCaption(qint32 value);

// The device calls; module is ignored for the unit's options.
QString get(ZelkDevice &device, const UnitArg &unit, int module, Id id, qint32 &value);
QString set(ZelkDevice &device, const UnitArg &unit, int module, Id id, qint32 value);

} // namespace ConfigSetting
