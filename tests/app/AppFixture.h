#pragma once

#include "TestSeams.h"
#include "app/ZelkApplication.h"
#include "core/ZelkGlobals.h"
#include "core_windows/MainForm.h"
#include "device/RecordingDevice.h"
#include "device/SimulatedBus.h"
#include "editor/SupplyConfig.h"
#include "monitor/MonitorForm.h"

#include <QTest>
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

    // The user picks a unit in the editor's list and presses Start.
    static void readInEditor(SupplyConfig &editor, const QString &unit)
    {
        const int index = editor.UnitList->findText(unit);
        editor.UnitList->setCurrentIndex(index);
        emit editor.UnitList->activated(index);
        QTest::mouseClick(editor.SelectButton, Qt::LeftButton);
    }

    // The editor opened by its picture on the launcher, active, the unit read.
    SupplyConfig &editorWithUnit(const QString &unit)
    {
        QTest::mouseClick(MainForm::instance().Picture1, Qt::LeftButton);
        SupplyConfig &editor = SupplyConfig::instance();
        EXPECT_TRUE(editor.isVisible());
        editor.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
        readInEditor(editor, unit);
        return editor;
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
