#pragma once

#include "device/ForwardingDevice.h"

#include <QString>
#include <QStringList>
#include <memory>

// The device object the program makes: the simulated bus or the serial line,
// as the user chose (ZelkGlobals::Bus: the port dialog, ZelkGui.ini, or
// --bus for one run). A new choice takes effect at the next OpenPort with the
// port closed, so no call of the bus before is still under way. Each bus is
// made on first use and kept, so the simulated units keep their live state.
class SwitchableBus final : public ForwardingDevice
{
public:
    explicit SwitchableBus(const QString &applicationFolder);
    ~SwitchableBus() override;

    // The bus for a run: --bus when given, else Bus in [PARAMS] of the
    // folder's ZelkGui.ini, else the simulated one.
    static QString initialChoice(const QString &applicationFolder);
    // Takes "--bus simulated|serial" (or --bus=...) from a command line into
    // ZelkGlobals::BusOverride; false with why for any other bus name.
    [[nodiscard]] static bool takeOverride(const QStringList &arguments, QString *why);
    const QString &kind() const { return m_kind; }
    ZelkDevice &bus() { return *m_bus; }

    void SetINIParams(qint16 &readTimeout, qint16 &retryCount) override;
    QString OpenPort(const QString &port) override;
    QString ClosePort() override;

protected:
    ZelkDevice &target() override { return *m_bus; }

private:
    void take(const QString &kind);

    QString m_folder;
    QString m_kind;
    ZelkDevice *m_bus = nullptr;
    std::unique_ptr<ZelkDevice> m_simulated;
    std::unique_ptr<ZelkDevice> m_serial;
    bool m_open = false;
    bool m_paramsSet = false;
    qint16 m_timeout = 0;
    qint16 m_retries = 0;
};

// Makes "ZelkX.Zelk.1" create a SwitchableBus in the application folder.
void registerSwitchableBus();
