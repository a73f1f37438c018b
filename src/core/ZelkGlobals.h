#pragma once

#include "core/ZelkDevice.h"
#include "core/clsScalability.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>

// The ratings of module positions 1..5, each record made on first use and
// kept for the whole run; the last unit read overwrites them.
class ModuleRatingsTable
{
public:
    clsScalability &operator()(int module);
    bool exists(int module) const;
    void clear();

private:
    std::array<std::unique_ptr<clsScalability>, 5> m_records;
};

// The process-wide state shared by every window and routine.
namespace ZelkGlobals {

inline const QString DeviceIdentifier = QStringLiteral("ZelkX.Zelk.1");
// The title of boxes that name no title of their own.
inline const QString AppTitle = QStringLiteral("ZelkSoft");
// The project's version, as the build and the package give it.
extern const QString Version;
inline const QString HelpFileName = QStringLiteral("zelksdk.chm");

// The one device object, created at start-up and kept for the whole run.
inline std::unique_ptr<ZelkDevice> Device;

inline QString ApplicationFolder;
// Read-only shipped files (the help): the application folder, or share/zelksoft
// when installed.
inline QString ShippedFolder;
// What choosing the folders had to say, written to the error file once start-up
// knows it.
inline QStringList StartupNotes;
inline QString ComPort;
// The bus in use (GuiIniKeys::BusSimulated or BusSerial), and the one named on
// the command line for this run, which wins over the settings file.
inline QString Bus;
inline QString BusOverride;
inline QString ScaleIniPath;
inline QString GuiIniPath;
inline QString TooltipsIniPath;
inline QString ZelkIniPath;
inline QString ErrorFilePath;
inline QString NormalTextColor;
inline QString DesktopColor;
inline QString TestSetting;
inline bool TestMode = false;
inline QString DecimalSeparator = QStringLiteral(".");
inline bool ErrorFlag = false;
inline QString LastError;
inline QString FileDialogAction;
inline QString LastFileKind;

// Last decoded device answers.
inline ModuleRatingsTable ModuleRatings;
inline std::array<QString, 9> ModulePresent; // indexes 1..8, "0"/"1"
inline QString PresentModulesText;
inline QString ModuleGoodText;
inline QString OutputStateText;
inline bool DefaultGlobalState = false;
inline bool DefaultGlobalPolarity = false;
inline bool ModuleTypesKnown = false;
inline qint16 PresentModuleCount = 0;
inline QString LastErrorCopy;
inline QString SelectedUnitID;
inline QString ConfigFileToRead;
inline QString ConfigFileToWrite;
inline bool MonitorCycleActive = false;

// Every global back to its state before start-up (tests start from here).
void reset();

} // namespace ZelkGlobals

// Where the program's files live: --app-dir DIR, else $ZELK_APP_DIR, else the
// executable's folder when it holds the data, else the per-user folder
// (AppFolders, which seeds it).
QString resolveApplicationFolder(const QStringList &arguments);

// The error file's name for a date: "error", month and day without leading
// zeros, ".txt".
QString errorFileName(const QDate &date);

// The start-up sequence. False when start-up cannot go on; failureText then
// says why (the device object could not be created).
[[nodiscard]] bool InitGlobals(const QString &applicationFolder, QString *failureText = nullptr);
