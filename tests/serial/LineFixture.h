#pragma once

#include "../cli/ProgramRun.h"
#include "TestSeams.h"
#include "UnitSimProcess.h"
#include "app/ZelkApplication.h"
#include "core/DeviceRegistry.h"
#include "core/IniFile.h"
#include "core/ZelkGlobals.h"
#include "device/RecordingDevice.h"
#include "device/SerialBus.h"
#include "device/SimulatedBus.h"
#include "editor/EditorState.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>

// The demo bus twice: in this process (readings exact), and in the unit
// emulator on a pseudo-terminal at 115200 baud with a copy of the same
// simbus.ini. The program's device object is the serial one, started as the
// program starts it, with COM1 mapped to the emulator's link.
class LineFixture : public ::testing::Test
{
protected:
    static constexpr int TimeoutMs = 150;
    static constexpr int Retries = 2;

    void SetUp() override
    {
        shippedFolder(env, false);
        inProcess = std::make_unique<SimulatedBus>(env.folder());
        inProcess->setNoiseEnabled(false);
        inProcess->setWireModelEnabled(false);
        QDir(env.folder()).mkdir(QStringLiteral("line"));
        for (const char *file : {"simbus.ini", "scale.ini"})
            QFile::copy(env.path(QLatin1String(file)), env.path(QStringLiteral("line/") + file));
        const QString gui = env.path("ZelkGui.ini");
        ASSERT_TRUE(IniFile::writeValue(gui, "PORTS", "COM1", link));
        ASSERT_TRUE(IniFile::writeValue(gui, "PARAMS", "BaudRate", "115200"));
        lineSettings(TimeoutMs, Retries);
        registerDeviceObject(ZelkGlobals::DeviceIdentifier,
                             [] { return std::make_unique<SerialBus>(); });
        ASSERT_TRUE(InitGlobals(env.folder()));
        serial = dynamic_cast<SerialBus *>(ZelkGlobals::Device.get());
        ASSERT_NE(serial, nullptr);
    }

    void TearDown() override
    {
        if (wired) {
            ZelkApplication::unwire();
            EditorState::reset();
        }
    }

    // The line's settings in Zelk.ini, for the next start of the program.
    void lineSettings(int timeoutMs, int retries, const QByteArray &more = {})
    {
        env.writeFile(QStringLiteral("Zelk.ini"),
                      "[Serial COM Parameters]\r\nReadTimeout=" + QByteArray::number(timeoutMs) +
                          "\r\nRetryCount=" + QByteArray::number(retries) + "\r\n" + more);
    }

    // The program's windows wired and started, as the program starts them;
    // taken down again after the test.
    void startProgram()
    {
        EditorState::reset();
        ZelkApplication::wire();
        wired = true;
        ASSERT_TRUE(ZelkApplication::start());
    }

    // The emulator on the fixture's store, with more options if given.
    QString startLine(const QStringList &more = {})
    {
        const QString path = unitsim.start(QStringList{"--store", store, "--pty", "--link", link,
                                                       "--baud", "115200", "--no-noise"} +
                                           more);
        EXPECT_FALSE(path.isEmpty()) << unitsim.errors().toStdString();
        return path;
    }

    struct Read
    {
        QString record;
        QString log;
    };
    // The editor's read of a unit through a device object.
    Read readSetup(ZelkDevice &device, const QString &unit)
    {
        std::unique_ptr<ZelkDevice> program = std::move(ZelkGlobals::Device);
        ZelkGlobals::Device = std::make_unique<RecordingDevice>(device);
        ZelkGlobals::SelectedUnitID = unit;
        ZelkData data;
        TextLog log;
        data.ReadZelkSetup(unit, &log);
        ZelkGlobals::Device = std::move(program);
        return {recordText(data), log.text};
    }

    TestEnvironment env;
    const QString store = env.path(QStringLiteral("line/simbus.ini"));
    const QString link = env.path(QStringLiteral("line.tty"));
    UnitSimProcess unitsim;
    std::unique_ptr<SimulatedBus> inProcess;
    SerialBus *serial = nullptr;
    bool wired = false;
};
