// The bus overview's scan, and the one line shared by every window: at each
// point where a device sequence lets window events run, all the work that
// starts on its own is started, and none of it may reach the device object
// before that sequence ends.
#include "monitor/BusOverview.h"
#include "MockZelkDevice.h"
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "configfile/ConfigSession.h"
#include "controls/Label3D.h"
#include "device/ForwardingDevice.h"
#include "device/SharedLine.h"

#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <utility>

namespace {

class BusOverviewTest : public WindowFixture
{
protected:
    BusOverview &openOverview()
    {
        QTest::mouseClick(monitor().cmdBusOverview, Qt::LeftButton);
        BusOverview &o = monitor().busOverview();
        EXPECT_TRUE(o.isVisible());
        return o;
    }
    static bool scanEnds(BusOverview &o)
    {
        return QTest::qWaitFor([&] { return !o.scan().running(); }, 10000);
    }
    static QStringList column(BusOverview &o, int c)
    {
        QStringList texts;
        for (int i = 0; i < o.lstUnits->topLevelItemCount(); ++i)
            texts << o.lstUnits->topLevelItem(i)->text(c);
        return texts;
    }
};

TEST_F(BusOverviewTest, ScanListsTheAnsweringUnits)
{
    // Catches a unit missed or invented by the scan, wrong serial, firmware,
    // module types or alarms, and progress that does not reach the end. The
    // picture is kept beside the test program for a person to look at.
    bus->forceAlarm(5, 8, true);
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    EXPECT_EQ(o.progressScan->value(), 32);
    EXPECT_EQ(o.lblScan->text(), "4 units answer on IDs 1 to 32.");
    EXPECT_EQ(column(o, 0), (QStringList{"1", "3", "5", "7"}));
    EXPECT_EQ(column(o, 1).mid(0, 2), (QStringList{"ZX5-21A0117", "ZX2-21B0342"}));
    EXPECT_EQ(column(o, 2).mid(0, 2), (QStringList{"2.11", "2.10"}));
    // Unit 7 starts with its outputs held off: no DC good.
    EXPECT_EQ(column(o, 4),
              (QStringList{"None", "None", "Fan Warning: Fail", "Global DC Good: Fail"}));
    // The module types as the monitor's read shows them.
    MonitorForm &m = monitorRead("3");
    QStringList types;
    for (int k = 1; k <= 5; ++k)
        if (m.session().data().modulePresent(k))
            types << QStringLiteral("%1: %2").arg(k).arg(m.session().ratings(k).Type);
    EXPECT_EQ(column(o, 3).value(1), types.join("; "));

    ASSERT_TRUE(QTest::qWaitForWindowExposed(&o));
    const QImage picture = o.grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("bus_overview.png"));
    QWidget *rows = o.lstUnits->viewport();
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 5; ++c) {
            const QRect row = o.lstUnits->visualItemRect(o.lstUnits->topLevelItem(i));
            const QRect r(rows->mapTo(&o, QPoint(o.lstUnits->header()->sectionViewportPosition(c),
                                                 row.top())),
                          QSize(o.lstUnits->header()->sectionSize(c), row.height()));
            EXPECT_TRUE(inked(picture, r)) << "row " << i << " column " << c;
        }
}

// Catches a double-click that reads another unit over the panels of the one
// shown: unit 3 has no modules 2, 4 and 5, and their group captions must be
// those a read of unit 3 picked in the list shows, not unit 1's.
TEST_F(BusOverviewTest, DoubleClickReadsAUnitAsAPickInTheListDoes)
{
    MonitorForm &m = monitorRead("1");
    ASSERT_EQ(texts(m.GID[1], m.GID[2], m.GID[3], m.GID[4], m.GID[5]).mid(3),
              (QStringList{"M[3]", "S[3]"}));
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    QWidget *rows = o.lstUnits->viewport();
    const QRect unit3 = o.lstUnits->visualItemRect(o.lstUnits->topLevelItem(1));
    ASSERT_EQ(o.lstUnits->topLevelItem(1)->text(0), "3");
    QTest::mouseClick(rows, Qt::LeftButton, {}, unit3.center());
    QTest::mouseDClick(rows, Qt::LeftButton, {}, unit3.center());
    ASSERT_EQ(m.Label3D3->Caption(), "Power supply Id: 3");
    EXPECT_TRUE(m.UnitList->currentText() == "3" && m.UnitSelected);
    const QStringList fromOverview = texts(m.GID[1], m.GID[2], m.GID[3], m.GID[4], m.GID[5]);

    monitorRead("1");
    const int three = m.UnitList->findText("3");
    m.UnitList->setCurrentIndex(three);
    emit m.UnitList->activated(three);
    QTest::mouseClick(m.cmdSelectUnit, Qt::LeftButton);
    ASSERT_EQ(m.Label3D3->Caption(), "Power supply Id: 3");
    EXPECT_EQ(fromOverview.join(" | ").toStdString(),
              texts(m.GID[1], m.GID[2], m.GID[3], m.GID[4], m.GID[5]).join(" | ").toStdString());
    for (int k : {2, 4, 5})
        EXPECT_EQ(m.MMessage[k]->text(), "Not Present") << k;
}

// Catches a look for units that asks an empty ID with the reads' timeout and
// retries (no short question first), one that reads an ID where nobody
// answered it, and a read the user asked for that asks the short question.
TEST_F(BusOverviewTest, OnlyALookForUnitsAsksTheShortQuestion)
{
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    ASSERT_TRUE(scanEnds(o));
    QStringList probed, read;
    for (const RecordingDevice::Call &c : log.calls())
        (c.method == "ProbeUnit" ? probed : read) << c.arguments.value(0);
    QStringList all;
    for (int id = 1; id <= 32; ++id)
        all << QString::number(id);
    EXPECT_EQ(probed, all);
    EXPECT_EQ(QSet<QString>(read.begin(), read.end()),
              (QSet<QString>{"1", "3", "5", "7", "\"COM1\"", ""}));
    log.clear();
    EXPECT_EQ(ConfigSession(*ZelkGlobals::Device, "COM1").answeringUnits(),
              (QList<int>{1, 3, 5, 7}));
    EXPECT_EQ(log.methodNames().count("ProbeUnit"), 32);
    EXPECT_EQ(log.methodNames().count("GetUnitID"), 4);

    for (int road = 0; road < 3; ++road) {
        log.clear();
        if (road == 0)
            QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
        else if (road == 1)
            monitorRead("3");
        else
            editorRead("5"); // Detect Unit ID: UnitIdTools
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.calls().size() > 2; }, 10000)) << road;
        EXPECT_FALSE(log.methodNames().contains("ProbeUnit")) << road;
        if (o.watching())
            QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    }
}

TEST_F(BusOverviewTest, CancelStopsBetweenTwoIds)
{
    // Catches a Cancel that lets the scan run on, or one that cuts a unit's
    // sequence in half (its port left open).
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    log.onCall = [&](const RecordingDevice::Call &c) {
        if (c.method == "ProbeUnit" && c.arguments.value(0) == "4")
            QTest::mouseClick(o.cmdCancel, Qt::LeftButton);
    };
    ASSERT_TRUE(scanEnds(o));
    log.onCall = nullptr;
    EXPECT_EQ(o.scan().nextId(), 5);
    EXPECT_EQ(o.progressScan->value(), 4);
    EXPECT_EQ(o.lblScan->text(), "Scan cancelled before unit 5: 2 units answer.");
    EXPECT_EQ(log.methodNames().last(), "ClosePort");
    EXPECT_TRUE(!SharedLine::instance().busy() && o.cmdScan->isEnabled() &&
                !o.cmdCancel->isEnabled());
}

TEST_F(BusOverviewTest, PortThatDoesNotOpenEndsTheScanSayingSo)
{
    // Catches a scan that reports "no unit answers" when it never reached
    // the line.
    ZelkGlobals::ComPort = "ttyNone";
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    EXPECT_EQ(o.lstUnits->topLevelItemCount(), 0);
    EXPECT_TRUE(o.lblScan->text().startsWith("The port ttyNone could not be opened ("));
    EXPECT_TRUE(o.lblScan->text().endsWith("): the scan stopped at unit 1."));
    EXPECT_FALSE(SharedLine::instance().busy());
}

TEST_F(BusOverviewTest, ScanStepAndPollDueAtOnceRunInTurnWithTheirOwnValues)
{
    // Catches a poll that runs inside a scan step rather than right after it
    // (SharedLineTest sees any sequences interleave on the port), and values
    // of one unit landing in the other's results.
    MonitorForm &m = monitorRead("1");
    startMonitoring("5   Sec.");
    pollAt(5000);
    const QString alone = m.rtbNewLogText().section("\r\n", -1).section(',', 2);
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    bool due = false;
    log.onCall = [&](const RecordingDevice::Call &c) {
        if (!due && c.method == "GetPresentModules" && c.arguments.value(0) == "3") {
            due = true;
            pollAt(10000); // the poll's tick comes while the scan asks unit 3
        }
    };
    ASSERT_TRUE(scanEnds(o));
    log.onCall = nullptr;
    ASSERT_TRUE(due);
    EXPECT_TRUE(QTest::qWaitFor([&] { return records() == 2; }, 5000));
    EXPECT_EQ(m.rtbNewLogText().section("\r\n", -1).section(',', 2), alone);
    EXPECT_EQ(o.lstUnits->topLevelItemCount(), 4);
    EXPECT_EQ(o.lstUnits->topLevelItem(1)->text(1), "ZX2-21B0342");
    // The poll waited for unit 3's step and went before unit 4's.
    QStringList asked; // the unit of each call, in order
    for (const RecordingDevice::Call &c : log.calls())
        if (c.method != "OpenPort" && !c.arguments.isEmpty())
            asked << c.arguments[0];
    const qsizetype poll = asked.indexOf("\"1\"");
    EXPECT_TRUE(poll > asked.lastIndexOf("3") && poll < asked.indexOf("4"))
        << asked.join(' ').toStdString();
    EXPECT_FALSE(SharedLine::instance().busy());
}

TEST(SharedLineDeviceTest, OnlyTheLastClosePortReachesThePort)
{
    // Catches one sequence's ClosePort closing the port under another.
    auto owned = std::make_unique<testing::StrictMock<MockZelkDevice>>();
    MockZelkDevice &inner = *owned;
    testing::InSequence order;
    EXPECT_CALL(inner, OpenPort(QString("COM1"))).WillOnce(testing::Return(CmdOk));
    EXPECT_CALL(inner, ClosePort()).WillOnce(testing::Return(CmdOk));
    SharedLineDevice device(std::move(owned));
    SharedLine &line = SharedLine::instance();
    EXPECT_EQ(device.OpenPort("COM1"), CmdOk);
    EXPECT_EQ(device.OpenPort("COM1"), CmdOk); // a second window's sequence
    EXPECT_EQ(device.ClosePort(), CmdOk);
    EXPECT_TRUE(line.busy());
    int ran = 0;
    line.whenFree(nullptr, [&] { ran += 10; }); // its window is gone: dropped
    line.whenFree(&line, [&] { ++ran; });
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(device.ClosePort(), CmdOk);
    EXPECT_TRUE(!line.busy() && QTest::qWaitFor([&] { return ran == 1; }, 1000));
}

// Catches a watch line that does not say what its time measures or goes on
// showing the last cycle once Watch is off, a watch that shows the alarms
// the scan saw rather than the ones raised now or stops after a cycle, a
// Watch left on by a new scan, and a watch that goes on asking the units
// once nobody can see it: closing the monitor closes its bus overview.
TEST_F(BusOverviewTest, WatchShowsTheAlarmsOfNowUntilItEnds)
{
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    ASSERT_EQ(column(o, 4).value(0), "None");
    bus->forceAlarm(1, 8, true);
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    ASSERT_TRUE(o.watching());
    EXPECT_TRUE(QTest::qWaitFor([&] { return column(o, 4)[0] == "Fan Warning: Fail"; }, 10000));
    const QRegularExpression cycle("^Watching: 4 units found, a cycle of all units in \\d+ ms\\.$");
    EXPECT_TRUE(QTest::qWaitFor([&] { return cycle.match(o.lblScan->text()).hasMatch(); }, 10000))
        << o.lblScan->text().toStdString();
    bus->forceAlarm(1, 8, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return column(o, 4)[0] == "None"; }, 10000));
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    EXPECT_FALSE(o.watching());
    EXPECT_EQ(o.lblScan->text(), "Not watching.");

    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    QTest::mouseClick(o.cmdScan, Qt::LeftButton);
    EXPECT_FALSE(o.watching() || o.cmdWatch->isChecked());
    ASSERT_TRUE(scanEnds(o));
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    ASSERT_TRUE(o.watching());
    QTest::mouseClick(monitor().cmdClose, Qt::LeftButton);
    EXPECT_FALSE(monitor().isVisible() || o.isVisible() || o.watching());
}

// Behind the shared line, in front of the bus: whether the real port is
// open, and each call that reaches it at the wrong time. Each call first
// lets window events run, as a wait for an answer on the line does.
class LineProbe final : public ForwardingDevice
{
public:
    explicit LineProbe(std::unique_ptr<ZelkDevice> inner)
        : m_inner(std::move(inner))
    {}

    QString OpenPort(const QString &port) override
    {
        check("OpenPort");
        if (m_open)
            faults << QStringLiteral("OpenPort on a port another sequence has open");
        const QString reply = m_inner->OpenPort(port);
        m_open = reply == CmdOk;
        return reply;
    }
    QString ClosePort() override
    {
        check("ClosePort");
        m_open = false;
        return m_inner->ClosePort();
    }
    bool open() const { return m_open; }

    bool starting = false; // self-started work is being started
    QStringList faults;

protected:
    ZelkDevice &target() override
    {
        check("a call");
        if (!m_open)
            faults << QStringLiteral("a call on a port closed under its sequence");
        QCoreApplication::processEvents();
        return *m_inner;
    }

private:
    void check(const char *what)
    {
        if (starting)
            faults << QStringLiteral("%1 of work started inside another sequence's event pass")
                          .arg(QLatin1String(what));
    }

    std::unique_ptr<ZelkDevice> m_inner;
    bool m_open = false;
};

class SharedLineTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        ZelkGlobals::Device.reset(); // the bus lets go of its store
        auto inner = std::make_unique<SimulatedBus>(env.folder());
        bus = inner.get();
        bus->setNoiseEnabled(false);
        auto probed = std::make_unique<LineProbe>(std::move(inner));
        probe = probed.get();
        ZelkGlobals::Device = std::make_unique<SharedLineDevice>(std::move(probed));
    }

    LineProbe *probe = nullptr;
};

TEST_F(SharedLineTest, WorkStartedInsideASequenceWaitsForItsEnd)
{
    // Catches a sequence whose line reads as free in one of its event passes
    // (the pass that tests OpenPort's reply, a wait for an answer, a pause):
    // a poll, a watch or scan step or another window's read started there
    // reaches the port, fails and closes it under the first sequence.
    MonitorForm &m = monitorRead("1");
    BusOverview &overview = m.busOverview();
    overview.cmdScan_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !overview.scan().running(); }, 20000));
    ASSERT_FALSE(overview.scan().found().isEmpty());
    pick("3");
    startMonitoring("5   Sec.");

    // Armed while a road runs, until the first work that waited for it
    // starts: that work's own event passes are the next road's business.
    bool armed = false, editorClicked = false;
    int queued = 0;
    QTimer eachPass; // fires in every event pass while it runs
    QObject::connect(&eachPass, &QTimer::timeout, [&] {
        SharedLine &line = SharedLine::instance();
        if (armed && line.waiting() < queued)
            armed = false;
        if (!armed || !probe->open() || probe->starting)
            return;
        probe->starting = true;
        env.clock.monotonic += 60000; // a poll is due
        m.Timer2_Timer();
        if (!overview.watchDue())
            overview.setWatching(true);
        if (!overview.scan().running())
            overview.scan().start();
        if (!std::exchange(editorClicked, true))
            SupplyConfig::instance().SelectButton->click();
        probe->starting = false;
        queued = line.waiting();
    });
    eachPass.start(0);

    const char *const roads[] = {"the editor's read", "a poll", "a refresh", "a scan"};
    for (int road = 0; road < 4; ++road) {
        SCOPED_TRACE(roads[road]);
        armed = true;
        editorClicked = false;
        queued = 0;
        if (road == 0)
            QTest::mouseClick(editor().SelectButton, Qt::LeftButton);
        else if (road == 1)
            pollAt(env.clock.monotonic + 60000);
        else if (road == 2)
            m.cmdRefresh_Click();
        else
            overview.cmdScan_Click();
        armed = false;
        // The work that waited runs once the line is free, itself watched.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !overview.scan().running() && !SharedLine::instance().busy() &&
                       SharedLine::instance().waiting() == 0;
            },
            20000));
        EXPECT_TRUE(probe->faults.isEmpty()) << probe->faults.join('\n').toStdString();
        probe->faults.clear();
    }
    eachPass.stop();
    overview.setWatching(false);
    m.Check1->setChecked(false);
    EXPECT_TRUE(env.dialogs.texts().filter(QStringLiteral("COM")).isEmpty())
        << env.dialogs.texts().join('\n').toStdString();
}

} // namespace
