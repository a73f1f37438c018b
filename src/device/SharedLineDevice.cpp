#include "device/SharedLineDevice.h"

#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/SharedLine.h"

SharedLineDevice::SharedLineDevice(std::unique_ptr<ZelkDevice> inner)
    : m_inner(std::move(inner))
{
    SharedLine::instance().reset();
}

SharedLineDevice::~SharedLineDevice()
{
    SharedLine::instance().reset();
}

void SharedLineDevice::install()
{
    std::unique_ptr<ZelkDevice> &device = ZelkGlobals::Device;
    if (device && !dynamic_cast<SharedLineDevice *>(device.get()))
        device = std::make_unique<SharedLineDevice>(std::move(device));
}

ZelkDevice *SharedLineDevice::behind(ZelkDevice *device)
{
    auto *shared = dynamic_cast<SharedLineDevice *>(device);
    return shared ? shared->m_inner.get() : device;
}

QString SharedLineDevice::OpenPort(const QString &port)
{
    SharedLine &line = SharedLine::instance();
    if (line.openSequences() > 0) {
        line.sequenceOpened();
        return CmdOk;
    }
    const QString reply = m_inner->OpenPort(port);
    if (IsCmdOk(reply))
        line.sequenceOpened();
    return reply;
}

QString SharedLineDevice::ClosePort()
{
    SharedLine &line = SharedLine::instance();
    // A sequence whose port never opened closes too: nothing of it is open.
    if (line.openSequences() > 1) {
        line.sequenceClosed();
        return CmdOk;
    }
    const QString reply = m_inner->ClosePort();
    line.sequenceClosed();
    return reply;
}
