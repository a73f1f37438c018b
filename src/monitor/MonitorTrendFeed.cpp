// The monitor beyond its panel: every look at the unit goes to the trends
// and the alarm watch, the events to the alarm log, and the trend window and
// the bus overview open from here.
#include "monitor/MonitorForm.h"

#include "controls/OstransBigSquareLed.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/SharedLine.h"
#include "monitor/AlarmLog.h"
#include "monitor/BusOverview.h"
#include "monitor/MonitorTexts.h"
#include "monitor/TrendWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

void MonitorForm::recordLook()
{
    m_lookRecorded = true;
    const ZelkData &d = m_session.data();
    MonitorTrend::Poll poll;
    AlarmWatch::Observation &seen = poll.seen;
    seen.stamp = Seams::clock().currentDateTime();
    seen.unitId = unitText();
    // A read that failed saw nothing of the unit: the panels are the look before.
    seen.answered = !m_noAnswer && !m_lookFailed;
    seen.fine = {d.OverTemp,  d.FanFail, d.FanWarn, d.AcOk, d.GlobalDC, !d.GlobalCurrentLimit,
                 !d.GlobalOvp};
    // A read that stopped at a failure left the measurements of the look
    // before: the chart shows a gap rather than those again.
    const bool measured = seen.answered && IsCmdOk(d.LastReply);
    for (int m = 1; m <= 5; ++m) {
        if (!seen.answered)
            break;
        seen.modules[std::size_t(m)] = ModuleState::of(readingOf(m));
        MonitorTrend::ModuleInfo &info = poll.modules[std::size_t(m)];
        info.present = d.modulePresent(m);
        if (!info.present)
            continue;
        const ZelkModuleRecord &r = d.Module(m);
        info.type = m_session.ratings(m).Type;
        info.low = m_session.limitVolts(m, r.VoltageLowLimit);
        info.high = m_session.limitVolts(m, r.VoltageHighLimit);
        const auto volts = MonitorTexts::number(r.MeasuredVoltage);
        const auto amps = MonitorTexts::number(r.MeasuredCurrent);
        if (measured && volts && amps)
            poll.readings[std::size_t(m)] = MonitorTrend::Reading{*volts, *amps};
    }
    const QList<AlarmEvent> events = m_trend.record(poll);
    if (!Check2->isChecked())
        return;
    AlarmLog &alarms = m_monitorMode.alarms();
    alarms.add(events);
    // Also without new events: lines that could not be written wait.
    (void)alarms.writeBeside(logFilePath());
}

QString MonitorForm::alarmLogPath() const
{
    return AlarmLog::pathBeside(logFilePath());
}

void MonitorForm::onFreeLine(std::function<void()> request)
{
    if (activity() != MonitorControlState::Activity::Idle) {
        request();
        return;
    }
    SharedLine::instance().whenFree(this, std::move(request));
}

TrendWindow &MonitorForm::trendWindow()
{
    if (!m_trendWindow)
        m_trendWindow = new TrendWindow(m_trend, this);
    return *m_trendWindow;
}

BusOverview &MonitorForm::busOverview()
{
    if (!m_busOverview)
        m_busOverview = new BusOverview([this](int id) { readFromOverview(id); }, this);
    return *m_busOverview;
}

void MonitorForm::cmdTrends_Click()
{
    TrendWindow &w = trendWindow();
    w.show();
    w.raise();
    w.activateWindow();
}

void MonitorForm::cmdBusOverview_Click()
{
    BusOverview &w = busOverview();
    w.show();
    w.raise();
    w.activateWindow();
}

void MonitorForm::readFromOverview(int id)
{
    // Only where the user could pick the unit here: not in Monitor Mode,
    // not while the window talks to a unit.
    if (!cmdSelectUnit->isEnabled()) {
        Seams::dialogs().MsgBox(
            QStringLiteral("The monitor cannot read unit %1 now: leave Monitor Mode (Auto-Refresh) "
                           "or wait until it is ready, then double-click the unit again.")
                .arg(id),
            MsgButtons::OK, MsgIcon::Information, ZelkGlobals::AppTitle);
        return;
    }
    show();
    raise();
    activateWindow();
    const int index = UnitList->findText(QString::number(id));
    if (index < 0)
        return;
    UnitList->setCurrentIndex(index);
    onFreeLine([this] { cmdSelectUnit_Click(); });
}

void MonitorForm::closeOwnWindows()
{
    if (m_busOverview)
        m_busOverview->close();
    if (m_trendWindow)
        m_trendWindow->close();
}
