#pragma once

#include "TestSeams.h"
#include "app/ZelkApplication.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "device/RecordingDevice.h"
#include "device/SharedLineDevice.h"
#include "device/SimulatedBus.h"
#include "editor/EditorState.h"
#include "editor/SupplyConfig.h"
#include "monitor/MonitorForm.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// The program on the demo bus of a fresh application folder: the shipped
// files copied, the simulated bus registered, the windows wired and the
// launcher started by the program's own routines, readings without noise and
// the clock past every turn-on delay of the demo units.
class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(file));
        registerSimulatedBus();
        EditorState::reset();
        startProgram();
    }

    void TearDown() override
    {
        ZelkApplication::unwire();
        m_busOwner.reset();
        EditorState::reset();
    }

    // Wires and starts the program, also again after it ended.
    void startProgram()
    {
        log = nullptr;
        m_busOwner.reset();
        ZelkApplication::wire();
        ASSERT_TRUE(ZelkApplication::start());
        bus = dynamic_cast<SimulatedBus *>(SharedLineDevice::behind(ZelkGlobals::Device.get()));
        ASSERT_NE(bus, nullptr);
        bus->setNoiseEnabled(false);
        env.clock.monotonic = 5000;
    }

    // From here on every device call is logged; a second call starts the log over.
    RecordingDevice &record()
    {
        if (!log) {
            m_busOwner = std::move(ZelkGlobals::Device);
            ZelkGlobals::Device = std::make_unique<RecordingDevice>(*m_busOwner);
            log = static_cast<RecordingDevice *>(ZelkGlobals::Device.get());
        }
        log->clear();
        return *log;
    }

    // What a technician sets on the bus, or reads back from it, past the log.
    template<typename Call> void onBus(Call call)
    {
        ASSERT_EQ(bus->OpenPort(ZelkGlobals::ComPort), CmdOk);
        call(*bus);
        bus->ClosePort();
    }

    // The editor, opened from the launcher's picture when it is not up.
    SupplyConfig &editor()
    {
        SupplyConfig &e = SupplyConfig::instance();
        if (!e.isVisible())
            QTest::mouseClick(MainForm::instance().Picture1, Qt::LeftButton);
        return e;
    }
    // The user picks a unit in the editor's list.
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
    // The editor active, so that fields hold the focus, and the unit read.
    SupplyConfig &editorRead(const QString &unit = QStringLiteral("1"))
    {
        SupplyConfig &e = editor();
        e.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&e));
        pickAndStart(unit);
        EXPECT_TRUE(EditorState::UnitShown) << unit.toStdString();
        return e;
    }
    void showModule(int m) { editor().SSTab1(1)->setCurrentIndex(SupplyConfig::tabOfModule(m)); }

    static QLineEdit *lineOf(QWidget *field)
    {
        if (auto *combo = qobject_cast<QComboBox *>(field))
            return combo->lineEdit();
        return qobject_cast<QLineEdit *>(field);
    }
    // A click on a button's box: beside a short caption the row is dead.
    static void onBox(QAbstractButton *b)
    {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }
    // The user replaces a field's text by typing and tabs away.
    static void enterAndLeave(QWidget *field, const QString &text)
    {
        field->setFocus(Qt::MouseFocusReason);
        lineOf(field)->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

    // The monitor, made on first use and not shown.
    MonitorForm &monitor() { return MonitorForm::instance(); }
    MonitorForm &monitorRead(const QString &unit)
    {
        monitor().UnitList->setCurrentText(unit);
        monitor().cmdSelectUnit_Click();
        return monitor();
    }
    // Monitor Mode with the given period; the test gives the ticks.
    void startMonitoring(const QString &period)
    {
        monitor().Combo1->setCurrentText(period);
        monitor().Check1->setChecked(true);
        monitor().Timer2->stop();
    }
    // One poll tick at 10:30:00 plus monotonicMs.
    void pollAt(qint64 monotonicMs)
    {
        env.clock.monotonic = monotonicMs;
        monitor().Timer2_Timer();
    }
    int records() { return int(monitor().rtbNewLogText().count(QStringLiteral("\r\n"))); }

    TestEnvironment env;
    SimulatedBus *bus = nullptr;
    RecordingDevice *log = nullptr; // once record() was called

private:
    std::unique_ptr<ZelkDevice> m_busOwner; // the bus while the log stands in front of it
};
