#include "core/ZelkGlobals.h"

#include "core/AppFolders.h"
#include "core/Clock.h"
#include "core/DeviceRegistry.h"
#include "core/Ini.h"
#include "core/IniFile.h"
#include "core/Locale.h"
#include "core/NumberText.h"
#include "core/Seams.h"
#include "core/SettingsKeys.h"
#include "core/ZelkRoutines.h"
#include "core/ZelkVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

clsScalability &ModuleRatingsTable::operator()(int module)
{
    static clsScalability outOfRange;
    if (module < 1 || module > 5) {
        outOfRange = clsScalability();
        return outOfRange;
    }
    auto &slot = m_records[module - 1];
    if (!slot)
        slot = std::make_unique<clsScalability>();
    return *slot;
}

bool ModuleRatingsTable::exists(int module) const
{
    return module >= 1 && module <= 5 && m_records[module - 1] != nullptr;
}

void ModuleRatingsTable::clear()
{
    for (auto &r : m_records)
        r.reset();
}

namespace ZelkGlobals {
const QString Version = QStringLiteral(ZELK_VERSION_TEXT);

void reset()
{
    Device.reset();
    ApplicationFolder.clear();
    ShippedFolder.clear();
    StartupNotes.clear();
    ComPort.clear();
    Bus.clear();
    BusOverride.clear();
    ScaleIniPath.clear();
    GuiIniPath.clear();
    TooltipsIniPath.clear();
    ZelkIniPath.clear();
    ErrorFilePath.clear();
    NormalTextColor.clear();
    DesktopColor.clear();
    TestSetting.clear();
    TestMode = false;
    DecimalSeparator = QStringLiteral(".");
    ErrorFlag = false;
    LastError.clear();
    FileDialogAction.clear();
    LastFileKind.clear();
    ModuleRatings.clear();
    ModulePresent.fill(QString());
    PresentModulesText.clear();
    ModuleGoodText.clear();
    OutputStateText.clear();
    DefaultGlobalState = false;
    DefaultGlobalPolarity = false;
    ModuleTypesKnown = false;
    PresentModuleCount = 0;
    LastErrorCopy.clear();
    SelectedUnitID.clear();
    ConfigFileToRead.clear();
    ConfigFileToWrite.clear();
    MonitorCycleActive = false;
}
} // namespace ZelkGlobals

QString resolveApplicationFolder(const QStringList &arguments)
{
    return AppFolders::resolve(AppFolders::fromProcess(arguments)).applicationFolder;
}

QString errorFileName(const QDate &date)
{
    return QStringLiteral("error%1%2.txt").arg(date.month()).arg(date.day());
}

namespace {
QString inFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}
} // namespace

bool InitGlobals(const QString &applicationFolder, QString *failureText)
{
    using namespace ZelkGlobals;

    // System colours of window text and desktop, as the panels store them.
    NormalTextColor = QString::number(static_cast<qint32>(0x80000008u));
    DesktopColor = QString::number(static_cast<qint32>(0x80000001u));

    // The device object keeps its bus beside the program's other files.
    ApplicationFolder = applicationFolder;
    QString createError;
    Device = CreateDeviceObject(DeviceIdentifier, &createError);
    if (!Device) {
        if (failureText)
            *failureText = createError;
        return false;
    }

    ScaleIniPath = inFolder(applicationFolder, SettingsFiles::Scale);
    GuiIniPath = inFolder(applicationFolder, SettingsFiles::Gui);
    TooltipsIniPath = inFolder(applicationFolder, SettingsFiles::Tooltips);
    ZelkIniPath = inFolder(applicationFolder, SettingsFiles::Zelk);

    // Kept inside the application folder: glued to the folder's path without a
    // separator it would land in the parent folder, often not writable.
    const QDate today = Seams::clock().currentDateTime().date();
    ErrorFilePath = inFolder(applicationFolder, errorFileName(today));
    for (const QString &note : std::as_const(StartupNotes))
        LogError(note);
    StartupNotes.clear();

    // A port is a name, not a number: "tcp://10.0.0.5:502" keeps its dots in any locale.
    ComPort = IniFile::readString(GuiIniPath, GuiIniKeys::ParamsSection, GuiIniKeys::Port,
                                  QString(), Ini::ReadBufferSize);
    if (ComPort.isEmpty())
        ComPort = Ini::NotAvailable;
    TestSetting = ReadIni(GuiIniKeys::DevSection, GuiIniKeys::Test, GuiIniPath);
    TestMode = (TestSetting == QLatin1String("Y"));

    const QString timeoutText =
        ReadIni(ZelkIniKeys::SerialSection, ZelkIniKeys::ReadTimeout, ZelkIniPath);
    const QString retryText =
        ReadIni(ZelkIniKeys::SerialSection, ZelkIniKeys::RetryCount, ZelkIniPath);
    // The separator is needed to read the numbers; ReadIni used the one in force.
    const auto timeout = NumberText::toInt16(timeoutText, DecimalSeparator);
    const auto retries = NumberText::toInt16(retryText, DecimalSeparator);
    const bool sane = timeout && retries && *timeout >= ZelkIniKeys::MinReadTimeout &&
                      *timeout <= ZelkIniKeys::MaxReadTimeout && *retries >= 0 &&
                      *retries <= ZelkIniKeys::MaxRetryCount;
    if (sane) {
        qint16 t = *timeout;
        qint16 r = *retries;
        Device->SetINIParams(t, r);
    } else if (timeout && retries) {
        LogError(QStringLiteral("Serial COM Parameters in %1 are outside %2..%3 ms and 0..%4 "
                                "retries (ReadTimeout=%5, RetryCount=%6); the device keeps its "
                                "defaults")
                     .arg(ZelkIniPath)
                     .arg(ZelkIniKeys::MinReadTimeout)
                     .arg(ZelkIniKeys::MaxReadTimeout)
                     .arg(ZelkIniKeys::MaxRetryCount)
                     .arg(timeoutText, retryText));
    } else {
        // Unreadable serial parameters must not stop the program: the device
        // keeps its own defaults and the error file says why.
        LogError(QStringLiteral("Serial COM Parameters in %1 are not whole numbers "
                                "(ReadTimeout=%2, RetryCount=%3); the device keeps its defaults")
                     .arg(ZelkIniPath, timeoutText, retryText));
    }

    FileDialogAction.clear();
    LastFileKind.clear();

    DecimalSeparator = Locale::GetDecimalSpecifier();
    return true;
}
