#pragma once

#include <QString>

// File names and keys of the program's settings files.
namespace SettingsFiles {
inline const QString Scale = QStringLiteral("scale.ini");
inline const QString Gui = QStringLiteral("ZelkGui.ini");
inline const QString Tooltips = QStringLiteral("Tooltips.ini");
inline const QString Zelk = QStringLiteral("Zelk.ini");
} // namespace SettingsFiles

namespace GuiIniKeys {
inline const QString ParamsSection = QStringLiteral("PARAMS");
inline const QString Port = QStringLiteral("port");
inline const QString DevSection = QStringLiteral("DEV");
inline const QString Test = QStringLiteral("Test");
inline const QString MonitorSection = QStringLiteral("MONITOR");
// Lines each text window of the monitor keeps; the log file keeps every record.
inline const QString WindowLines = QStringLiteral("WindowLines");
} // namespace GuiIniKeys

namespace ZelkIniKeys {
inline const QString SerialSection = QStringLiteral("Serial COM Parameters");
inline const QString ReadTimeout = QStringLiteral("ReadTimeout");
inline const QString RetryCount = QStringLiteral("RetryCount");
} // namespace ZelkIniKeys

namespace TooltipsIniKeys {
inline const QString MonitorSection = QStringLiteral("MONITOR");
inline const QString ConfigSection = QStringLiteral("CONFIG");
} // namespace TooltipsIniKeys
