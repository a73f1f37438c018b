#include "device/SwitchableBus.h"

#include "core/DeviceRegistry.h"
#include "core/IniFile.h"
#include "core/SettingsKeys.h"
#include "core/ZelkGlobals.h"
#include "device/SerialBus.h"
#include "device/SimulatedBus.h"

#include <QDir>

SwitchableBus::SwitchableBus(const QString &applicationFolder)
    : m_folder(applicationFolder)
{
    ZelkGlobals::Bus = initialChoice(applicationFolder);
    take(ZelkGlobals::Bus);
}

SwitchableBus::~SwitchableBus() = default;

QString SwitchableBus::initialChoice(const QString &applicationFolder)
{
    QString choice = ZelkGlobals::BusOverride;
    if (choice.isEmpty()) {
        choice = IniFile::readString(QDir(applicationFolder).filePath(SettingsFiles::Gui),
                                     GuiIniKeys::ParamsSection, GuiIniKeys::Bus)
                     .trimmed()
                     .toLower();
    }
    return choice == GuiIniKeys::BusSerial ? GuiIniKeys::BusSerial : GuiIniKeys::BusSimulated;
}

bool SwitchableBus::takeOverride(const QStringList &arguments, QString *why)
{
    const QString option = QStringLiteral("--bus");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        QString value;
        if (a == option) {
            value = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        } else if (a.startsWith(option + QLatin1Char('='))) {
            value = a.mid(option.size() + 1);
        } else {
            continue;
        }
        value = value.trimmed().toLower();
        if (value != GuiIniKeys::BusSimulated && value != GuiIniKeys::BusSerial) {
            if (why)
                *why = QStringLiteral("--bus takes %1 or %2, not \"%3\"")
                           .arg(GuiIniKeys::BusSimulated, GuiIniKeys::BusSerial, value);
            return false;
        }
        ZelkGlobals::BusOverride = value;
    }
    return true;
}

void SwitchableBus::take(const QString &kind)
{
    m_kind = kind == GuiIniKeys::BusSerial ? GuiIniKeys::BusSerial : GuiIniKeys::BusSimulated;
    if (m_serial && m_kind != GuiIniKeys::BusSerial)
        static_cast<SerialBus &>(*m_serial).forgetSilentUnits();
    std::unique_ptr<ZelkDevice> &slot = m_kind == GuiIniKeys::BusSerial ? m_serial : m_simulated;
    if (!slot) {
        if (m_kind == GuiIniKeys::BusSerial)
            slot = std::make_unique<SerialBus>();
        else
            slot = std::make_unique<SimulatedBus>(m_folder);
        if (m_paramsSet)
            slot->SetINIParams(m_timeout, m_retries);
    }
    m_bus = slot.get();
}

void SwitchableBus::SetINIParams(qint16 &readTimeout, qint16 &retryCount)
{
    m_paramsSet = true;
    m_timeout = readTimeout;
    m_retries = retryCount;
    for (auto *bus : {m_simulated.get(), m_serial.get()}) {
        if (bus) {
            qint16 t = m_timeout, r = m_retries;
            bus->SetINIParams(t, r);
        }
    }
}

QString SwitchableBus::OpenPort(const QString &port)
{
    if (!m_open && ZelkGlobals::Bus != m_kind)
        take(ZelkGlobals::Bus);
    const QString reply = m_bus->OpenPort(port);
    m_open = m_open || reply == QLatin1String("CMD_OK");
    return reply;
}

QString SwitchableBus::ClosePort()
{
    m_open = false;
    return m_bus->ClosePort();
}

void registerSwitchableBus()
{
    registerDeviceObject(ZelkGlobals::DeviceIdentifier, [] {
        return std::make_unique<SwitchableBus>(ZelkGlobals::ApplicationFolder);
    });
}
