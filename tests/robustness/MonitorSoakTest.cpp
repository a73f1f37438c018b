// Monitor Mode under a long run of random unit faults: every poll that runs
// leaves exactly one whole record in the log file, and the window still works
// afterwards.
#include "RobustnessSeed.h"
#include "WindowFixture.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransIndicator.h"
#include "controls/OstransPushButton.h"
#include "core/IniFile.h"
#include "core/StatusArray.h"
#include "device/SimBusIniKeys.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <functional>
#include <random>
#include <vector>

namespace {

const int SoakPolls = 10000 * soakScale();
constexpr int PaintedPolls = 300;
constexpr qint64 PollPeriodMs = 5000;
constexpr int SoakUnit = 1; // the demo unit with all five modules

// Replies a failing unit may give, including texts that would break a
// comma-separated record if they leaked into it.
const QStringList SoakReplies = {QStringLiteral("ERR_TIMEOUT"), QStringLiteral("ERR_RANGE"),
                                 QStringLiteral("ERR_NO_MODULE"), QString(),
                                 QStringLiteral("ERR,BAD\r\nFRAME")};

// Everything a poll asks the unit.
const QStringList PollMethods =
    QStringLiteral("GetPresentModules GetModuleGoodStatusByte GetModuleType GetGlobalStatusByte "
                   "GetOperatingHoursString GetGlobalOutputState MeasureOutputCurrent "
                   "MeasureOutputVoltage GetOutputState")
        .split(QLatin1Char(' '));

class MonitorSoak : public WindowFixture
{
protected:
    struct ActiveFault
    {
        int endPoll;
        std::function<void()> undo;
    };

    // One random fault that lasts a random number of polls.
    void injectFault(int poll)
    {
        const int end = poll + std::uniform_int_distribution<int>(1, 25)(rng);
        const int m = std::uniform_int_distribution<int>(1, 5)(rng);
        const auto until = [&](std::function<void()> undo) {
            active.push_back({end, undo});
        };
        switch (std::uniform_int_distribution<int>(0, 6)(rng)) {
        case 0:
            bus->setUnitSilent(SoakUnit, true);
            until([this] { bus->setUnitSilent(SoakUnit, false); });
            break;
        case 1: {
            const bool always = std::bernoulli_distribution(0.5)(rng);
            bus->failMethod(pick(PollMethods), pick(SoakReplies), SoakUnit,
                            std::uniform_int_distribution<int>(0, 5)(rng),
                            always ? SimBusFaults::Count::Always : SimBusFaults::Count::Once);
            if (always)
                until([this] { bus->clearFailures(); });
            break;
        }
        case 2: {
            const int element = std::uniform_int_distribution<int>(1, 8)(rng);
            bus->forceAlarm(SoakUnit, element, true);
            until([this, element] { bus->forceAlarm(SoakUnit, element, false); });
            break;
        }
        case 3: // a short on the output: the current limit takes over
            bus->setLoadResistance(SoakUnit, m, 0.001);
            until([this, m] { bus->setLoadResistance(SoakUnit, m, loads[m]); });
            break;
        case 4: // switched off at the unit behind the monitor's back
            onBus([&](SimulatedBus &b) { b.SetOutputState(SoakUnit, qint16(m), 0); });
            until([this, m] {
                onBus([&](SimulatedBus &b) { b.SetOutputState(SoakUnit, qint16(m), 1); });
            });
            break;
        case 5: // a module type without ratings
            bus->setModuleType(SoakUnit, m, 99);
            until([this, m] { bus->setModuleType(SoakUnit, m, typeCodes[m]); });
            break;
        default: // a power cycle: latches clear, turn-on delays run again
            bus->recycle(SoakUnit);
            break;
        }
    }

    void endFaults(int poll)
    {
        for (auto it = active.begin(); it != active.end();)
            it = it->endPoll <= poll ? (it->undo(), active.erase(it)) : it + 1;
    }

    const QString &pick(const QStringList &list)
    {
        return list[std::uniform_int_distribution<int>(0, int(list.size()) - 1)(rng)];
    }
    static QStringList recordLines(const QString &log) { return log.split(QStringLiteral("\r\n")); }
    static bool isStatus(const QString &f) { return f == u"Ok" || f == u"Fail"; }
    static bool isNumber(const QString &f)
    {
        bool ok = false;
        f.toDouble(&ok);
        return ok;
    }

    // The unit's own load and type of each module, to put back after a fault.
    void rememberUnit()
    {
        for (int m = 1; m <= 5; ++m) {
            loads[m] =
                IniFile::readString(bus->busFilePath(), SimBusIniKeys::moduleSection(SoakUnit, m),
                                    SimBusIniKeys::LoadOhms)
                    .toDouble();
            onBus([&](SimulatedBus &b) { b.GetModuleType(SoakUnit, qint16(m), typeCodes[m]); });
        }
    }

    std::mt19937 rng;
    std::vector<ActiveFault> active;
    std::array<double, 6> loads{};
    std::array<qint16, 6> typeCodes{};
};

} // namespace

TEST_F(MonitorSoak, TenThousandPollsUnderFaultsKeepOneWholeRecordEach)
{
    // Catches a fault that crashes a poll, skips or doubles its record, lets a
    // reply tear a record's columns, or leaves the window locked or stale.
    rng.seed(robustnessSeed());
    MonitorForm *const form = &monitorRead(QString::number(SoakUnit));
    ASSERT_TRUE(form->UnitRead);
    rememberUnit();
    for (int m = 1; m <= 5; ++m)
        ASSERT_GT(loads[m], 0.0) << m;

    form->Check2->setChecked(true); // Autosave: the log file follows every poll
    startMonitoring("5   Sec.");
    const qint64 startMs = env.clock.monotonic;
    qint64 clockMs = startMs;
    const auto poll = [&] {
        clockMs += PollPeriodMs;
        pollAt(clockMs);
    };
    poll();
    const QString cleanRecord = recordLines(form->rtbNewLogText()).value(1);

    int polls = 1;
    for (; polls < SoakPolls; ++polls) {
        // Painting every poll would take most of the run; the last stretch
        // is painted, so odd readings reach the displays' drawing too.
        if (polls == SoakPolls - PaintedPolls) {
            form->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        }
        endFaults(polls);
        if (std::bernoulli_distribution(0.1)(rng))
            injectFault(polls);
        poll();
    }
    endFaults(SoakPolls + 100);
    bus->clearFailures();
    bus->setUnitSilent(SoakUnit, false);
    for (int element = 1; element <= 8; ++element)
        bus->forceAlarm(SoakUnit, element, false);
    bus->recycle(SoakUnit);
    poll();
    ++polls;

    EXPECT_FALSE(form->RefreshBusy);
    // The log file, written by the disk writer after every poll, holds the
    // whole run; the window may keep only its last lines.
    const QString log = QString::fromUtf8(env.readFile(form->txtFileName->text()));
    const QStringList lines = recordLines(log);
    ASSERT_EQ(lines.size(), polls + 1); // the header, then one record per poll
    const qsizetype columns = lines[0].count(u',');
    const QDateTime start = env.clock.now;
    for (int i = 1; i <= polls; ++i) {
        const QStringList f = lines[i].split(u',');
        ASSERT_EQ(f.size() - 1, columns) << "record " << i << ": " << lines[i].toStdString();
        // Stamps prove every poll wrote its own record, in order.
        const QString stamp = f[0] + u',' + f[1];
        const QString expected = start.addMSecs(startMs + PollPeriodMs * i)
                                     .toString(QStringLiteral("dd/MM/yyyy,HH:mm:ss"));
        ASSERT_EQ(stamp.toStdString(), expected.toStdString()) << "record " << i;
        ASSERT_EQ(f[2].toStdString(), std::to_string(SoakUnit)) << "record " << i;
        // A poll the unit did not answer carries nothing from it: never the
        // last reading again.
        if (std::all_of(f.begin() + 3, f.end(), [](const QString &x) { return x.isEmpty(); }))
            continue;
        for (int k = 3; k <= 9; ++k)
            ASSERT_TRUE(isStatus(f[k])) << "record " << i << " column " << k;
        // Hours the unit did not give stay empty rather than stale.
        ASSERT_TRUE(f[10].isEmpty() || isNumber(f[10]))
            << "record " << i << " hours " << f[10].toStdString();
        for (int m = 0; m < 5; ++m) {
            ASSERT_TRUE(isStatus(f[11 + 3 * m])) << "record " << i << " module " << m + 1;
            ASSERT_TRUE(isNumber(f[12 + 3 * m]) && isNumber(f[13 + 3 * m]))
                << "record " << i << ": " << lines[i].toStdString();
        }
    }
    EXPECT_EQ(recordLines(form->rtbNewLogText()).last(), lines.last());
    EXPECT_EQ(form->logFile().fullWrites(), 1);
    // The windows keep their newest lines (the log its header too); the file
    // above holds every record.
    EXPECT_EQ(form->RichTextBox1->document()->blockCount(), MonitorForm::DefaultWindowLines);
    EXPECT_EQ(recordLines(form->rtbNewLogText()).size(), MonitorForm::DefaultWindowLines + 1);

    // Faults gone, a power cycle later the unit reads as before the soak.
    const auto withoutHours = [](const QString &record) {
        QStringList f = record.split(u',');
        f.remove(0, 2);
        f.removeAt(8); // operating hours went on
        return f.join(u',').toStdString();
    };
    EXPECT_EQ(withoutHours(lines[polls]), withoutHours(cleanRecord));

    // The window works: leave Monitor Mode, switch an output, read it back.
    QTest::mouseClick(form->Check1, Qt::LeftButton);
    EXPECT_TRUE(!form->Check1->isChecked() && !form->Timer2->isActive());
    EXPECT_TRUE(form->cmdSelectUnit->isEnabled());
    QTest::mouseClick(form->OstransOS[2], Qt::LeftButton);
    StatusArray states;
    onBus([&](SimulatedBus &b) { ASSERT_EQ(b.GetOutputState(SoakUnit, states), "CMD_OK"); });
    EXPECT_EQ(states.toStatusText().left(5), "10111");
    EXPECT_EQ(form->OstransOS[2]->Status(), OstransIndicator::False);
    EXPECT_EQ(form->OstransDisplay[2]->text(), "0.00");
    QTest::mouseClick(form->cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(form->OstransDisplay[1]->text(), "3.30");
}
