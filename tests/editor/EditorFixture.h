#pragma once

#include "TestSeams.h"
#include "app/ZelkApplication.h"
#include "core/Twips.h"
#include "core/ZelkGlobals.h"
#include "core_windows/MainForm.h"
#include "device/SimulatedBus.h"
#include "editor/EditorState.h"
#include "editor/SupplyConfig.h"

#include <QTest>
#include <gtest/gtest.h>

// An editor on the demo bus of a fresh application folder.
class EditorFixture : public ::testing::Test
{
protected:
    TestEnvironment env;
    SimulatedBus *bus = nullptr;

    void SetUp() override
    {
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(file));
        registerSimulatedBus();
        ASSERT_TRUE(InitGlobals(env.folder()));
        bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        ASSERT_NE(bus, nullptr);
        bus->setNoiseEnabled(false);
        EditorState::reset();
        ZelkApplication::wire();
    }

    void TearDown() override
    {
        ZelkApplication::unwire();
        EditorState::reset();
    }

    SupplyConfig &editor()
    {
        SupplyConfig &e = SupplyConfig::instance();
        if (!e.isVisible())
            e.show();
        return e;
    }

    // The user picks a unit in the list.
    void pick(const QString &unit)
    {
        SupplyConfig &e = editor();
        const int index = e.UnitList->findText(unit);
        e.UnitList->setCurrentIndex(index);
        emit e.UnitList->activated(index);
    }

    void pickAndStart(const QString &unit)
    {
        pick(unit);
        QTest::mouseClick(editor().SelectButton, Qt::LeftButton);
    }

    // Changes what a unit of the bus holds, as a technician would have set it.
    template<typename Call> void onBus(Call call)
    {
        ASSERT_EQ(ZelkGlobals::Device->OpenPort(ZelkGlobals::ComPort), QStringLiteral("CMD_OK"));
        call(*ZelkGlobals::Device);
        ZelkGlobals::Device->ClosePort();
    }

    static int px(int twips) { return Twips::toPixels(twips); }
};
