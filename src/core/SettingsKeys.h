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
// The stable name (/dev/serial/by-id/...) of the adapter a stored short port
// name had when saved, so the port follows the adapter when it is replugged.
inline const QString PortAdapter = QStringLiteral("PortAdapter");
// Which bus the program talks to: BusSimulated (the default) or BusSerial.
inline const QString Bus = QStringLiteral("Bus");
inline const QString BusSimulated = QStringLiteral("simulated");
inline const QString BusSerial = QStringLiteral("serial");
// The serial line's rate; 8 data bits, no parity, 1 stop bit.
inline const QString BaudRate = QStringLiteral("BaudRate");
inline constexpr int DefaultBaudRate = 9600;
inline constexpr int BaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
// COM1..COM9 as device paths (COM3=/dev/ttyUSB0); unnamed ones are /dev/ttyS0..8.
inline const QString PortsSection = QStringLiteral("PORTS");
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
// Outside these a silent unit could hold a window for minutes.
inline constexpr int MinReadTimeout = 10;
inline constexpr int MaxReadTimeout = 5000;
inline constexpr int MaxRetryCount = 5;
// The wait for a unit that stopped answering, asked once without retries.
inline const QString SilentTimeout = QStringLiteral("SilentTimeout");
inline constexpr int DefaultSilentTimeout = 50;
} // namespace ZelkIniKeys

namespace TooltipsIniKeys {
inline const QString MonitorSection = QStringLiteral("MONITOR");
inline const QString ConfigSection = QStringLiteral("CONFIG");
} // namespace TooltipsIniKeys
