#pragma once

#include "device/ForwardingDevice.h"

#include <memory>

// The device object as every window reaches it: it passes each call on and
// counts the sequences that have the port open (SharedLine), so one
// sequence's ClosePort never closes the port under another that still uses
// it. A sequence that opens while another has the port (a window started
// from the first one's event pass) uses the open port; only the last
// ClosePort reaches the line.
class SharedLineDevice final : public ForwardingDevice
{
public:
    explicit SharedLineDevice(std::unique_ptr<ZelkDevice> inner);
    ~SharedLineDevice() override;

    // Puts the decorator in front of ZelkGlobals::Device, once.
    static void install();
    // The device behind the decorator, or the device itself when it is none.
    static ZelkDevice *behind(ZelkDevice *device);
    ZelkDevice &inner() { return *m_inner; }

    QString OpenPort(const QString &port) override;
    QString ClosePort() override;

protected:
    ZelkDevice &target() override { return *m_inner; }

private:
    std::unique_ptr<ZelkDevice> m_inner;
};
