#pragma once

#include "MainForm.h"
#include "MonitorForm.h"
#include "RecordingDevice.h"
#include "SimulatedBus.h"
#include "SupplyConfig.h"
#include "TestSeams.h"
#include "ZelkApplication.h"
#include "ZelkGlobals.h"

#include <gtest/gtest.h>

// The launcher, the editor and the monitor on the demo bus of a fresh
// application folder, wired and started by the program's own routines.
class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(file));
        registerSimulatedBus();
        ZelkGlobals::ApplicationFolder = env.folder();
        ZelkApplication::wire();
        ASSERT_TRUE(ZelkApplication::start());
        bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        ASSERT_NE(bus, nullptr);
        bus->setNoiseEnabled(false);
    }
    void TearDown() override
    {
        ZelkApplication::unwire();
        busOwner.reset();
    }

    // From here on every device call is logged.
    RecordingDevice &record()
    {
        busOwner = std::move(ZelkGlobals::Device);
        ZelkGlobals::Device = std::make_unique<RecordingDevice>(*busOwner);
        return static_cast<RecordingDevice &>(*ZelkGlobals::Device);
    }

    TestEnvironment env;
    SimulatedBus *bus = nullptr;
    std::unique_ptr<ZelkDevice> busOwner;
};
