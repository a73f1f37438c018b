#pragma once

#include "TestSeams.h"
#include "core/DeviceRegistry.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/RecordingDevice.h"
#include "device/SimulatedBus.h"

#include <gtest/gtest.h>
#include <memory>

// The demo bus on a fresh application folder, started as the program starts
// it: the shipped settings files copied, the simulated bus registered, the
// globals made by InitGlobals (port COM1, the bus in ZelkGlobals::Device, its
// port closed). Readings are exact; a test of the noise turns it on. The
// clock moves 1 ms a query so that pauses end; a fixture that times the bus
// itself sets env.clock.autoAdvanceMs = 0 in its constructor.
class BusFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(file));
        registerSimulatedBus();
        ASSERT_TRUE(InitGlobals(env.folder()));
        takeBus();
    }
    void TearDown() override
    {
        ZelkGlobals::Device.reset(); // a recorder goes before the bus behind it
        m_behind.reset();
    }

    // From here on every device call goes through a recorder in front of the bus.
    RecordingDevice &record()
    {
        if (!m_behind) {
            m_behind = std::move(ZelkGlobals::Device);
            ZelkGlobals::Device = std::make_unique<RecordingDevice>(*bus);
        }
        return static_cast<RecordingDevice &>(*ZelkGlobals::Device);
    }

    // The bus with the program's port open, as in the middle of a device sequence.
    SimulatedBus &openBus()
    {
        EXPECT_EQ(bus->OpenPort(ZelkGlobals::ComPort), CmdOk);
        return *bus;
    }

    // Ends the device object and makes another on the same folder, as the
    // next run of the program does; a recorder stays in front.
    void restartBus()
    {
        const bool recorded = m_behind != nullptr;
        ZelkGlobals::Device.reset();
        m_behind.reset();
        ZelkGlobals::Device = CreateDeviceObject(ZelkGlobals::DeviceIdentifier);
        takeBus();
        if (recorded && bus)
            record();
    }

    void advanceClock(qint64 ms) { env.clock.monotonic += ms; }

    TestEnvironment env;
    SimulatedBus *bus = nullptr;

private:
    void takeBus()
    {
        bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        ASSERT_NE(bus, nullptr);
        bus->setNoiseEnabled(false);
    }

    std::unique_ptr<ZelkDevice> m_behind; // the bus while a recorder stands in front
};
