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
    // The line is this sequence's before anything can let window events run
    // (the port's own open may, and so does testing its reply): work that
    // starts on its own meanwhile finds it busy and waits. A sequence whose
    // port did not open keeps its count until its ClosePort, which every
    // caller makes on that road too.
    line.sequenceOpened();
    if (line.openSequences() > 1)
        return CmdOk;
    return m_inner->OpenPort(port);
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
