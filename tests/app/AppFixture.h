#pragma once

#include "MainForm.h"
#include "MonitorForm.h"
#include "SimulatedBus.h"
#include "SupplyConfig.h"
#include "TestSeams.h"
#include "WindowRegistry.h"
#include "ZelkGlobals.h"

#include <gtest/gtest.h>

// The launcher, the editor and the monitor on the demo bus of a fresh
// application folder, registered as the program registers them at start.
class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(file));
        registerSimulatedBus();
        ZelkGlobals::ApplicationFolder = env.folder();
        WindowRegistry::registerWindow(WindowRegistry::Launcher,
                                       [] { return &MainForm::instance(); });
        WindowRegistry::registerWindow(WindowRegistry::Editor,
                                       [] { return &SupplyConfig::instance(); });
        WindowRegistry::registerWindow(WindowRegistry::Monitor,
                                       [] { return &MonitorForm::instance(); });
        ASSERT_TRUE(MainForm::instance().Form_Load());
        bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        ASSERT_NE(bus, nullptr);
        bus->setNoiseEnabled(false);
        MainForm::instance().show();
    }
    void TearDown() override
    {
        SupplyConfig::destroyInstance();
        MonitorForm::destroyInstance();
        MainForm::destroyInstance();
        WindowRegistry::clear();
    }

    TestEnvironment env;
    SimulatedBus *bus = nullptr;
};
