// One line shared by every window: at each point where a device sequence
// lets window events run, all the work that starts on its own is started,
// and none of it may reach the device object before that sequence ends.
#include "device/SharedLine.h"
#include "WindowFixture.h"
#include "device/ForwardingDevice.h"
#include "monitor/BusOverview.h"

#include <QTimer>
#include <utility>

namespace {

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

} // namespace

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
