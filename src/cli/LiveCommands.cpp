#include "cli/LiveCommands.h"

#include "configfile/ConfigSession.h"
#include "core/Clock.h"
#include "core/NumberText.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/SerialBus.h"
#include "metrics/MetricsEndpoint.h"
#include "monitor/ModuleState.h"
#include "monitor/MonitorSession.h"
#include "monitor/SetpointRange.h"
#include "monitor/StatusLog.h"
#include "monitor/StatusLogFile.h"
#include "monitor/StatusLogFormat.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <memory>
#include <vector>

namespace LiveCommands {

using namespace ZelkCtl;

namespace {

int fail(Console &console, int code, const QString &why)
{
    console.err << "zelkctl: " << why << Qt::endl;
    return code;
}

std::optional<bool> onOff(const QString &word)
{
    if (word == QLatin1String("on"))
        return true;
    if (word == QLatin1String("off"))
        return false;
    return std::nullopt;
}

// Said after a write that got no good answer but that the unit holds, as
// reading it back showed; empty otherwise.
QString confirmedNote(quint64 writesBefore)
{
    const SerialBus::WriteSettlement last = SerialBus::lastWrite();
    return last.number != writesBefore &&
                   last.outcome == SerialBus::WriteSettlement::Outcome::Confirmed
               ? QStringLiteral(" (written: confirmed by reading it back)")
               : QString();
}

// The unit read as the monitor reads it; false when it did not answer.
bool readUnit(MonitorSession &session, const QString &unit)
{
    ZelkGlobals::SelectedUnitID = unit; // the ratings of a read come from the selected unit
    session.readUnit(unit);
    if (ZelkGlobals::ErrorFlag)
        return false;
    session.readOutputStates(unit);
    return true;
}

// One poll as the monitor's status log records it.
PollRecord record(const MonitorSession &session, const QString &unit,
                  const std::optional<QString> &hours)
{
    const ZelkData &d = session.data();
    PollRecord r;
    r.stamp = Seams::clock().currentDateTime();
    r.unitId = unit;
    r.overTemp = StatusLogFormat::okFail(d.OverTemp);
    r.fanFail = StatusLogFormat::okFail(d.FanWarn && d.FanFail);
    r.fanWarn = StatusLogFormat::okFail(d.FanWarn);
    r.acOk = StatusLogFormat::okFail(d.AcOk);
    r.globalCurrentLimit = StatusLogFormat::okFail(d.GlobalCurrentLimit);
    r.globalOvp = StatusLogFormat::okFail(d.ModuleGoodStatus == QLatin1String("00000000"));
    r.operatingHours =
        hours ? MonitorSession::plainHours(MonitorSession::formatHours(*hours)) : QString();
    bool allGood = true;
    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &mod = d.Module(m);
        ModuleState::Reading reading;
        reading.present = d.modulePresent(m);
        reading.outputOn = d.OutputStatus.mid(m - 1, 1) == QLatin1String("1");
        reading.goodBit = d.ModuleGoodStatus.mid(m - 1, 1) != QLatin1String("0");
        reading.volts = NumberText::toDouble(mod.MeasuredVoltage, ZelkGlobals::DecimalSeparator);
        reading.low = session.limitVolts(m, mod.VoltageLowLimit);
        reading.high = session.limitVolts(m, mod.VoltageHighLimit);
        const ModuleState::Kind kind = ModuleState::of(reading);
        allGood = allGood && (kind == ModuleState::NotPresent || kind == ModuleState::Good);
        r.good[std::size_t(m - 1)] = StatusLogFormat::okFail(ModuleState::ledOn(kind));
        r.volts[std::size_t(m - 1)] =
            mod.MeasuredVoltage.isEmpty() ? QStringLiteral("0") : mod.MeasuredVoltage;
        r.amps[std::size_t(m - 1)] =
            mod.MeasuredCurrent.isEmpty() ? QStringLiteral("0") : mod.MeasuredCurrent;
    }
    r.globalDcGood = StatusLogFormat::okFail(allGood);
    r.outputState = d.OutputStatus;
    return r;
}

} // namespace

int set(Console &console, const Arguments &args)
{
    const auto unit = unitNumber(args.words.value(0));
    bool moduleOk = false;
    const int m = args.words.value(1).toInt(&moduleOk);
    const bool volts = args.values.contains(QStringLiteral("--volts"));
    const bool out = args.values.contains(QStringLiteral("--output"));
    if (args.words.size() != 2 || !unit || !moduleOk || m < 1 || m > 5 || volts == out)
        return fail(console, Usage,
                    QStringLiteral("set takes UNIT MODULE and one of --volts V, --output on|off"));
    const QString u = QString::number(*unit);
    MonitorSession session;
    if (!readUnit(session, u))
        return fail(console, DeviceError,
                    QStringLiteral("unit %1 does not answer (%2)").arg(u, ZelkGlobals::LastError));
    if (!session.data().modulePresent(m))
        return fail(console, Refused, QStringLiteral("unit %1 has no module %2").arg(u).arg(m));

    MonitorSession::OutputBurst burst;
    const quint64 writesBefore = SerialBus::lastWrite().number;
    if (out) {
        const auto on = onOff(args.value(QStringLiteral("--output")));
        if (!on)
            return fail(console, Usage, QStringLiteral("--output takes on or off"));
        burst = session.setOutputState(u, m, *on);
    } else {
        const QString text = args.value(QStringLiteral("--volts"));
        const auto value = NumberText::toDouble(
            text, text.contains(QLatin1Char(',')) ? QStringLiteral(",") : QStringLiteral("."));
        if (!value)
            return fail(console, Usage, QStringLiteral("%1 is not a number").arg(text));
        const SetpointRange range = SetpointRange::of(session.ratings(m));
        const auto raw = range.raw(*value);
        if (!range.accepts(*value) || !raw)
            return fail(console, Refused,
                        QStringLiteral("%1 V is out of range for module %2: it takes %3 V")
                            .arg(text)
                            .arg(m)
                            .arg(range.limitsText()));
        burst = session.setVoltageSetpoint(u, m, *raw);
    }
    if (!burst.ok())
        return fail(console, DeviceError,
                    QStringLiteral("unit %1 module %2 answered %3").arg(u).arg(m).arg(burst.reply));
    console.out << "Unit " << u << " module " << m << ": " << burst.volts << " V, " << burst.amps
                << " A" << confirmedNote(writesBefore) << Qt::endl;
    return Done;
}

int output(Console &console, const Arguments &args)
{
    const auto unit = unitNumber(args.words.value(0));
    const auto on = onOff(args.words.value(1));
    if (args.words.size() != 2 || !unit || !on)
        return fail(console, Usage, QStringLiteral("output takes UNIT and on or off"));
    const QString u = QString::number(*unit);
    MonitorSession session;
    const quint64 writesBefore = SerialBus::lastWrite().number;
    session.setGlobalOutput(u, *on);
    if (ZelkGlobals::ErrorFlag)
        return fail(console, DeviceError,
                    QStringLiteral("unit %1: %2").arg(u, ZelkGlobals::LastError));
    console.out << "Unit " << u << ": global output " << (*on ? "on" : "off")
                << confirmedNote(writesBefore) << Qt::endl;
    return Done;
}

int monitor(Console &console, const Arguments &args)
{
    const bool all = args.has(QStringLiteral("--all"));
    QList<int> units;
    bool unitsOk = !args.words.isEmpty();
    for (const QString &word : args.words) {
        const auto unit = unitNumber(word);
        unitsOk = unitsOk && unit && !units.contains(*unit);
        if (unit)
            units << *unit;
    }
    bool intervalOk = false, countOk = true;
    const double interval = args.value(QStringLiteral("--interval")).toDouble(&intervalOk);
    const QString path = args.value(QStringLiteral("--log"));
    int count = -1;
    if (args.values.contains(QStringLiteral("--count")))
        count = args.value(QStringLiteral("--count")).toInt(&countOk);
    if ((all ? !args.words.isEmpty() : !unitsOk) || !intervalOk || interval < 0 || path.isEmpty() ||
        !countOk || count == 0 || count < -1)
        return fail(console, Usage,
                    QStringLiteral("monitor takes UNIT... (each once) or --all, --interval "
                                   "SECONDS, --log FILE [--count N] [--metrics ADDRESS:PORT]"));
    const QString metrics = args.value(QStringLiteral("--metrics"));
    QString badAddress;
    if (args.values.contains(QStringLiteral("--metrics")) &&
        !MetricsEndpoint::parse(metrics, &badAddress))
        return fail(console, Usage, QStringLiteral("--metrics ") + badAddress);
    // The monitor's rule for its log's name: a text or csv file.
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.indexOf(u'.');
    const QString extension = dot < 0 ? name : name.mid(dot + 1);
    if (extension != QLatin1String("txt") && extension != QLatin1String("csv"))
        return fail(console, Usage,
                    QStringLiteral("%1: You can specify only text or csv files to log power "
                                   "supply status.")
                        .arg(path));

    // --all: every unit that answers now, each polled in turn every cycle;
    // on the serial line each poll is one status block.
    if (all) {
        units = ConfigSession(*ZelkGlobals::Device, ZelkGlobals::ComPort).answeringUnits();
        if (units.isEmpty())
            return fail(console, DeviceError,
                        QStringLiteral("no unit answers. ") + ZelkDevice::slowUnitHint());
    }
    std::vector<std::unique_ptr<MonitorSession>> sessions;
    for (qsizetype i = 0; i < units.size(); ++i)
        sessions.push_back(std::make_unique<MonitorSession>());
    StatusLog log;
    StatusLogFile file;
    int rc = Done;
    // The endpoint serves between polls and while a poll waits on the line;
    // one that cannot listen is told, and the polls go on.
    const QString bench = args.value(QStringLiteral("--bench"));
    if (!metrics.isEmpty()) {
        const QString why =
            MetricsEndpoint::startConfigured(metrics, bench, ZelkGlobals::GuiIniPath);
        if (!why.isEmpty())
            console.err << "zelkctl: " << why << "; polling goes on without it" << Qt::endl;
    }
    const auto waitUntil = [](const QDeadlineTimer &next) {
        if (MetricsEndpoint::port() == 0) {
            while (!next.hasExpired())
                QThread::msleep(quint64(qMin<qint64>(next.remainingTime(), 200)));
            return;
        }
        while (!next.hasExpired()) {
            QEventLoop wait;
            QTimer::singleShot(next.remainingTime(), &wait, &QEventLoop::quit);
            wait.exec();
        }
    };
    for (int poll = 0; count < 0 || poll < count; ++poll) {
        QDeadlineTimer next(qint64(interval * 1000));
        for (qsizetype i = 0; i < units.size(); ++i) {
            const QString u = QString::number(units.at(i));
            MonitorSession &session = *sessions[std::size_t(i)];
            const bool answered = readUnit(session, u);
            if (!answered) {
                // One the serial line now asks once, with the short wait.
                const bool silent = SerialBus::unitSilentNow(units.at(i));
                console.err << "zelkctl: unit " << u
                            << (silent ? " is silent: asked once a cycle, with no retry, until it "
                                         "answers ("
                                       : " does not answer (")
                            << ZelkGlobals::LastError << ")" << Qt::endl;
                rc = DeviceError;
            }
            // An unanswered poll is a record too, with nothing from the unit.
            PollRecord r;
            if (answered) {
                r = record(session, u, session.readOperatingHours(u));
            } else {
                r.stamp = Seams::clock().currentDateTime();
                r.unitId = u;
                r.answered = false;
            }
            log.addHeader();
            log.append(StatusLogFormat::logRecord(r));
            if (!file.sync(path, log)) {
                console.err << "zelkctl: " << path << ": " << file.errorString() << Qt::endl;
                rc = DeviceError;
            }
            console.out << StatusLogFormat::displayRecord(r).trimmed() << Qt::endl;
        }
        if (count >= 0 && poll + 1 >= count)
            break;
        waitUntil(next);
    }
    MetricsEndpoint::stop();
    return rc;
}

} // namespace LiveCommands
