// The editor's read and write paths under a long run of random unit faults:
// a fault may spoil the cycle it hits, never the window or the next cycle.
#include "RobustnessSeed.h"
#include "WindowFixture.h"
#include "controls/OstransLed.h"

#include <QTextEdit>
#include <cmath>
#include <random>
#include <vector>

namespace {

const int EditorCycles = 1000 * soakScale();

// The device methods of an editor read and of its two writes.
const QStringList EditorMethods =
    QStringLiteral(
        "GetPresentModules GetModuleGoodStatusByte GetUnitSerialN GetUnitVersion "
        "GetFanFailPolarity SetFanFailPolarity GetGlobalDCGoodPolarity GetOTFailPolarity "
        "GetDefaultGlobalOutputPolarity SetDefaultGlobalOutputPolarity GetDefaultGroupState "
        "GetDefaultGlobalOutputState SetDefaultGlobalOutputState GetModuleType GetModuleSerialN "
        "GetModuleVersion GetProgrammingMode GetDefaultOutputOnOffPolarity "
        "GetDefaultOutputOnOffState GetOutputTurnONDelayExUShort GetDefaultOutputVoltage "
        "SetDefaultOutputVoltage GetModuleGoodLowThreshold GetModuleGoodHighThreshold "
        "GetCurrentLimitMode GetCurrentLimit GetCurrentLimitONTimeExUShort "
        "GetCurrentLimitOFFTimeExUShort GetOutputState SetGlobalOutputState")
        .split(QLatin1Char(' '));

const QStringList EditorReplies = {QStringLiteral("ERR_TIMEOUT"), QStringLiteral("ERR_RANGE"),
                                   QString(), QStringLiteral("ERR,BAD\r\nFRAME")};

class EditorSoak : public WindowFixture
{
protected:
    std::mt19937 rng;
    std::array<qint16, 6> unitOneTypes{};
    std::vector<int> retyped;

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    // Zero or more faults for one cycle; true when any was injected.
    bool injectFaults(int unit)
    {
        bool any = false;
        while (std::bernoulli_distribution(0.35)(rng)) {
            any = true;
            switch (uniform(0, 3)) {
            case 0:
                bus->setUnitSilent(unit, true);
                break;
            case 1:
                bus->failMethod(EditorMethods[uniform(0, int(EditorMethods.size()) - 1)],
                                EditorReplies[uniform(0, int(EditorReplies.size()) - 1)], unit,
                                uniform(0, 5),
                                std::bernoulli_distribution(0.5)(rng) ? SimBusFaults::Count::Always
                                                                      : SimBusFaults::Count::Once);
                break;
            case 2: { // a type without ratings
                const int m = uniform(1, 5);
                bus->setModuleType(1, m, 99);
                retyped.push_back(m);
                break;
            }
            default:
                bus->forceAlarm(unit, uniform(1, 8), true);
                break;
            }
        }
        return any;
    }

    void clearFaults()
    {
        bus->clearFailures();
        for (int id : bus->unitIds()) {
            bus->setUnitSilent(id, false);
            for (int element = 1; element <= 8; ++element)
                bus->forceAlarm(id, element, false);
        }
        // The bus stores a type change in its file: only undo what was done.
        for (int m : retyped)
            bus->setModuleType(1, m, unitOneTypes[m]);
        retyped.clear();
    }

    // The window is back in the user's hands: nothing blinks, nothing is busy.
    void expectWindowFree(int cycle)
    {
        SupplyConfig &e = editor();
        EXPECT_TRUE(e.SelectButton->isEnabled() && e.UnitList->isEnabled() &&
                    e.OstransTx->Blinking() == OstransLed::False && !env.desktop.busy)
            << "cycle " << cycle;
    }

    bool wroteOk()
    {
        return editor().RichTextBox1->toPlainText().endsWith(QStringLiteral("Eeprom.......Ok"));
    }

    // Flips the fan-fail polarity and writes the unit options.
    void applyUnitOptions(int unit, int cycle)
    {
        SupplyConfig &e = editor();
        const int choice = e.optFanFail(0)->isChecked() ? 1 : 0;
        QTest::mouseClick(e.optFanFail(choice), Qt::LeftButton);
        ASSERT_TRUE(e.cmdApply->isEnabled()) << "cycle " << cycle;
        QTest::mouseClick(e.cmdApply, Qt::LeftButton);
        if (!wroteOk()) {
            EXPECT_TRUE(e.cmdApply->isEnabled()) << "cycle " << cycle; // can be tried again
            return;
        }
        qint16 polarity = -1;
        bus->clearFailures(); // read what the unit holds, past the editor's faults
        onBus([&](ZelkDevice &d) { d.GetFanFailPolarity(QString::number(unit), polarity); });
        EXPECT_EQ(polarity, choice == 0 ? 1 : 0) << "cycle " << cycle;
    }

    // Types a new set-point within the module's rating and writes the module.
    void applySetpoint(int unit, int m, int cycle)
    {
        SupplyConfig &e = editor();
        const clsScalability &r = ZelkGlobals::ModuleRatings(m);
        if (r.VoltageScaleFactor <= 0 || r.MaxVoltage <= 0)
            return; // an unrated type: nothing can be typed
        showModule(m);
        const double low = std::max(r.MinVoltage, 0.1);
        const double volts =
            std::round(std::uniform_real_distribution<double>(low, r.MaxVoltage)(rng) * 10) / 10;
        enterAndLeave(e.vsp(m), QString::number(volts, 'f', 1));
        QPushButton *apply = e.cmdApplyCLM(m - 1);
        if (!apply->isEnabled())
            return; // the same value as shown: nothing to write
        QTest::mouseClick(apply, Qt::LeftButton);
        if (!wroteOk()) {
            EXPECT_TRUE(apply->isEnabled()) << "cycle " << cycle;
            return;
        }
        const double shown = e.vsp(m)->text().toDouble();
        qint16 raw = -1;
        bus->clearFailures(); // read what the unit holds, past the editor's faults
        onBus([&](ZelkDevice &d) {
            d.GetDefaultOutputVoltage(QString::number(unit), qint16(m), raw);
        });
        EXPECT_EQ(raw, qint16(std::nearbyint(shown * r.VoltageScaleFactor)))
            << "cycle " << cycle << " module " << m << " " << shown;
    }

    QString busSerial(int unit)
    {
        QString serial;
        onBus([&](ZelkDevice &d) { d.GetUnitSerialN(QString::number(unit), serial); });
        return serial;
    }
};

} // namespace

TEST_F(EditorSoak, ThousandReadApplyCyclesUnderFaultsLeaveTheWindowWorking)
{
    // Catches a fault that crashes a read or write, leaves the window busy or
    // locked, lets a failed write report Ok, or poisons the next clean read.
    rng.seed(robustnessSeed());
    editorRead(QStringLiteral("1"));
    for (int m = 1; m <= 5; ++m)
        onBus([&](ZelkDevice &d) {
            d.GetModuleType(QStringLiteral("1"), qint16(m), unitOneTypes[m]);
        });
    const QList<int> units = bus->unitIds();
    ASSERT_FALSE(units.isEmpty());

    int cleanReads = 0, writesOk = 0;
    for (int cycle = 0; cycle < EditorCycles; ++cycle) {
        const int unit =
            std::bernoulli_distribution(0.6)(rng) ? 1 : units[uniform(0, int(units.size()) - 1)];
        const bool faulty = injectFaults(unit);
        const QString serial = faulty ? QString() : busSerial(unit);
        pickAndStart(QString::number(unit));
        if (!faulty) {
            ASSERT_TRUE(EditorState::UnitShown) << "cycle " << cycle << " unit " << unit;
            ASSERT_EQ(editor().SerialNumber->text().toStdString(), serial.toStdString())
                << "cycle " << cycle;
            ++cleanReads;
        }
        if (!EditorState::UnitShown) {
            // A failed read points the user to the error file.
            EXPECT_TRUE(editor().ErrorButton->isVisible()) << "cycle " << cycle;
        } else if (std::bernoulli_distribution(0.5)(rng)) {
            applyUnitOptions(unit, cycle);
        } else {
            // Module tabs are hidden when the read skipped the modules (a unit
            // whose outputs start inhibited): the user cannot type there.
            std::vector<int> present;
            for (int m = 1; m <= 5 && editor().SSTab1(1)->isVisible(); ++m)
                if (editor().data()->modulePresent(m) && editor().vsp(m)->isEnabled())
                    present.push_back(m);
            if (!present.empty())
                applySetpoint(unit, present[uniform(0, int(present.size()) - 1)], cycle);
        }
        writesOk += EditorState::UnitShown && wroteOk();
        clearFaults();
        expectWindowFree(cycle);
        if (HasFailure())
            return;
    }
    std::cout << "[ soak     ] " << cleanReads << " clean reads, " << writesOk << " writes Ok"
              << std::endl;
    EXPECT_GT(cleanReads, EditorCycles / 4);
    EXPECT_GT(writesOk, EditorCycles / 10);
}
