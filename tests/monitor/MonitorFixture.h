#pragma once

#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "device/RecordingDevice.h"
#include "device/SimulatedBus.h"
#include "monitor/LogFileAccess.h"
#include "monitor/MonitorForm.h"

#include "controls/OstransPushButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

// A monitor window on a fresh demo bus with exact readings and a fixed clock.
class MonitorFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *name : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(name));
        registerSimulatedBus();
        ASSERT_TRUE(InitGlobals(env.folder()));
        bus = dynamic_cast<SimulatedBus *>(ZelkGlobals::Device.get());
        ASSERT_NE(bus, nullptr);
        bus->setNoiseEnabled(false);
        // Past every turn-on delay of the demo units.
        env.clock.monotonic = 5000;
        form = &MonitorForm::instance();
    }
    void TearDown() override
    {
        MonitorForm::destroyInstance();
        if (m_bus) {
            ZelkGlobals::Device = std::move(m_bus);
            ZelkGlobals::Device.reset();
        }
    }
    // From here on every call to the bus is logged.
    RecordingDevice &record()
    {
        m_bus = std::move(ZelkGlobals::Device);
        auto recorder = std::make_unique<RecordingDevice>(*m_bus);
        RecordingDevice &r = *recorder;
        ZelkGlobals::Device = std::move(recorder);
        return r;
    }

    void readUnit(const QString &id)
    {
        form->UnitList->setCurrentText(id);
        form->cmdSelectUnit_Click();
    }
    // Enters Monitor Mode with the given period; the test drives the ticks.
    void startMonitoring(const QString &period)
    {
        form->Combo1->setCurrentText(period);
        form->Check1->setChecked(true);
        form->Timer2->stop();
    }
    // One poll tick at a known time of day (10:30:00 plus the clock's monotonic).
    void pollAt(qint64 monotonicMs)
    {
        env.clock.monotonic = monotonicMs;
        form->Timer2_Timer();
    }
    int records() const { return form->rtbNewLogText().count(QStringLiteral("\r\n")); }
    template<typename Call> void withPort(Call call)
    {
        ASSERT_EQ(bus->OpenPort(ZelkGlobals::ComPort), QStringLiteral("CMD_OK"));
        call();
        bus->ClosePort();
    }

    TestEnvironment env;
    SimulatedBus *bus = nullptr;
    MonitorForm *form = nullptr;
    std::unique_ptr<ZelkDevice> m_bus; // the bus while a recorder stands in front of it
};

// The disk, with a switch that makes every write fail like a full disk.
class SwitchableLogAccess final : public LogFileAccess
{
public:
    bool writable = true;
    LogFileAccess *disk = nullptr;
    Info info(const QString &path) override { return disk->info(path); }
    QByteArray readTail(const QString &path, qint64 bytes) override
    {
        return disk->readTail(path, bytes);
    }
    bool replace(const QString &path, QByteArrayView content) override
    {
        return writable && disk->replace(path, content);
    }
    bool append(const QString &path, QByteArrayView tail) override
    {
        return writable && disk->append(path, tail);
    }
};
