#include "plans/PlanRunner.h"

#include "configfile/ConfigPlan.h"
#include "configfile/ConfigSession.h"
#include "core/Clock.h"
#include "core/Seams.h"
#include "core/ZelkDevice.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "device/SharedLine.h"
#include "monitor/MonitorSession.h"
#include "monitor/SetpointRange.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace {

using Outcome = PlanRunResult::Outcome;
using Kind = PlanStep::Kind;

// How long a wait sleeps between two looks at the events and the stop flag.
constexpr int WaitSliceMs = 10;
// A ramp listed in a dry run shows its points up to this many.
constexpr std::size_t ListedRampPoints = 12;

QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString duration(int ms)
{
    if (ms < 1000 || ms % 1000 != 0)
        return QStringLiteral("%1 ms").arg(ms);
    if (ms % 60000 == 0)
        return QStringLiteral("%1 min").arg(ms / 60000);
    return QStringLiteral("%1 s").arg(ms / 1000);
}

QString alarmName(PlanAlarm alarm)
{
    switch (alarm) {
    case PlanAlarm::OverTemp:
        return QStringLiteral("over-temp");
    case PlanAlarm::FanFail:
        return QStringLiteral("fan-fail");
    case PlanAlarm::AcFail:
        return QStringLiteral("ac-fail");
    case PlanAlarm::DcGood:
        break;
    }
    return QStringLiteral("dc-good");
}

// The alarms the global status byte raises; its first four elements are
// "fine" signals (1: over-temperature, fan, AC and global DC all good).
QList<PlanAlarm> raisedAlarms(const StatusArray &status)
{
    QList<PlanAlarm> raised;
    const PlanAlarm order[] = {PlanAlarm::OverTemp, PlanAlarm::FanFail, PlanAlarm::AcFail,
                               PlanAlarm::DcGood};
    for (int i = 0; i < 4; ++i) {
        if (status(i + 1) != 1)
            raised << order[i];
    }
    return raised;
}

int rank(Outcome outcome)
{
    switch (outcome) {
    case Outcome::DeviceError:
        return 4;
    case Outcome::Refused:
        return 3;
    case Outcome::Stopped:
        return 2;
    case Outcome::CheckFailed:
        return 1;
    case Outcome::Passed:
        break;
    }
    return 0;
}

Outcome worse(Outcome a, Outcome b)
{
    return rank(a) >= rank(b) ? a : b;
}

bool aboutModule(Kind kind)
{
    switch (kind) {
    case Kind::Setpoint:
    case Kind::Output:
    case Kind::Ramp:
    case Kind::CheckVoltage:
    case Kind::CheckCurrent:
    case Kind::CheckGood:
        return true;
    default:
        return false;
    }
}

QString actionText(const PlanRunner::Action &a)
{
    const PlanStep &s = *a.step;
    switch (s.kind) {
    case Kind::Apply:
        return QStringLiteral("apply %1").arg(s.file);
    case Kind::Require:
        return QStringLiteral("require %1").arg(s.file);
    case Kind::Setpoint:
        return QStringLiteral("module %1 set-point %2 V").arg(s.module).arg(number(s.volts));
    case Kind::Ramp:
        return QStringLiteral("module %1 set-point %2 V (ramp to %3 V)")
            .arg(s.module)
            .arg(number(a.volts), number(s.to));
    case Kind::Output:
        return QStringLiteral("module %1 output %2").arg(s.module).arg(s.on ? "on" : "off");
    case Kind::GlobalOutput:
        return QStringLiteral("global output %1").arg(s.on ? "on" : "off");
    case Kind::Hold:
        return QStringLiteral("hold %1").arg(duration(s.durationMs));
    case Kind::CheckVoltage:
        return QStringLiteral("check module %1 voltage").arg(s.module);
    case Kind::CheckCurrent:
        return QStringLiteral("check module %1 current").arg(s.module);
    case Kind::CheckGood:
        return QStringLiteral("check module %1 good").arg(s.module);
    case Kind::CheckNoAlarm:
        return QStringLiteral("check no alarm");
    case Kind::CheckHours:
        return QStringLiteral("check operating hours");
    case Kind::Repeat:
        break;
    }
    return {};
}

} // namespace

struct PlanRunner::UnitRun
{
    UnitRun(const UnitInfo &info, qint64 startMs)
        : info(info)
        , u(QString::number(info.unit))
        , startMs(startMs)
    {}
    const UnitInfo &info;
    QString u; // the unit as the device takes it
    PlanUnitResult result;
    qint64 startMs = 0;
    std::array<std::optional<double>, 5> sent; // the last set-point the plan sent
    MonitorSession session;
    bool failedCheck = false;
    bool touched = false; // something was sent: the finally steps are due
    Outcome outcome = Outcome::Passed;
};

PlanRunner::PlanRunner(QObject *parent)
    : QObject(parent)
{}

PlanRunner::~PlanRunner() = default;

std::vector<double> PlanRunner::rampPoints(const PlanStep &ramp)
{
    std::vector<double> points;
    if (!(ramp.step > 0) || !std::isfinite(ramp.from) || !std::isfinite(ramp.to))
        return points;
    const double direction = ramp.to >= ramp.from ? 1 : -1;
    // Counted from the start, not added up, so that no binary noise builds
    // up; rounded to a micro-volt as the monitor's steps are.
    for (long k = 0;; ++k) {
        const double v = std::nearbyint((ramp.from + direction * ramp.step * k) * 1e6) / 1e6;
        if ((direction > 0 && v >= ramp.to - 1e-9) || (direction < 0 && v <= ramp.to + 1e-9)) {
            points.push_back(ramp.to);
            break;
        }
        points.push_back(v);
    }
    return points;
}

void PlanRunner::flatten(const std::vector<PlanStep> &steps)
{
    for (const PlanStep &s : steps) {
        if (s.kind == Kind::Repeat) {
            for (int i = 0; i < s.count; ++i)
                flatten(s.body);
        } else if (s.kind == Kind::Ramp) {
            for (const double v : rampPoints(s))
                m_actions.push_back({&s, v, s.dwellMs, true});
        } else {
            m_actions.push_back({&s, 0, 0, false});
        }
    }
}

int PlanRunner::totalActions() const
{
    return int(m_actions.size()) * int(m_units.size());
}

std::optional<PlanRunner::ConfigSource> PlanRunner::configSource(const PlanStep &step,
                                                                 QString *why) const
{
    const QFileInfo plan(m_plan.path);
    const QString path =
        QFileInfo(step.file).isAbsolute()
            ? step.file
            : (m_plan.path.isEmpty() ? QDir::current() : plan.dir()).filePath(step.file);
    QString error;
    auto contents = ConfigFileContents::read(path, &error);
    if (!contents) {
        *why = QStringLiteral("cannot read %1: %2").arg(step.file, error);
        return std::nullopt;
    }
    const QList<int> sections = contents->units();
    int chosen = 0;
    if (!step.section.isEmpty()) {
        bool ok = false;
        const int n = step.section.startsWith(QLatin1String("PS"), Qt::CaseInsensitive)
                          ? step.section.mid(2).toInt(&ok)
                          : 0;
        if (!ok || !sections.contains(n)) {
            *why = QStringLiteral("%1 holds no section %2").arg(step.file, step.section);
            return std::nullopt;
        }
        chosen = n;
    } else if (sections.size() == 1) {
        chosen = sections.first();
    } else {
        *why = sections.isEmpty()
                   ? QStringLiteral("%1 holds no unit section").arg(step.file)
                   : QStringLiteral("%1 holds %2 unit sections: name one with section")
                         .arg(step.file)
                         .arg(sections.size());
        return std::nullopt;
    }
    if (const QString never = ConfigSession::neverRead(*contents->unit(chosen)); !never.isEmpty()) {
        *why = QStringLiteral("%1: %2").arg(step.file, never);
        return std::nullopt;
    }
    return ConfigSource{*std::move(contents), chosen,
                        QStringLiteral("%1 [PS%2]").arg(step.file).arg(chosen)};
}

void PlanRunner::checkSteps(const std::vector<PlanStep> &steps, const UnitInfo &info,
                            const UnitState &state, QList<PlanIssue> &issues, bool inFinally)
{
    const auto refuse = [&](const PlanStep &s, const QString &why) {
        issues << PlanIssue{s.line, QStringLiteral("unit %1: %2").arg(info.unit).arg(why)};
    };
    for (const PlanStep &s : steps) {
        if (s.kind == Kind::Repeat) {
            checkSteps(s.body, info, state, issues, inFinally);
            continue;
        }
        if (!aboutModule(s.kind))
            continue;
        if (s.module < 1 || s.module > 5 || !state.present(s.module)) {
            refuse(s, QStringLiteral("module %1 is not fitted").arg(s.module));
            continue;
        }
        std::vector<double> sent;
        if (s.kind == Kind::Setpoint)
            sent.push_back(s.volts);
        else if (s.kind == Kind::Ramp)
            sent = rampPoints(s);
        const clsScalability &ratings = state.ratings.at(std::size_t(s.module - 1));
        if (!sent.empty() && ratings.VoltageScaleFactor == 0.0) {
            refuse(s, QStringLiteral("module %1 has no ratings for its type %2")
                          .arg(s.module)
                          .arg(state.typeCode.at(std::size_t(s.module - 1))));
            continue;
        }
        const SetpointRange range = SetpointRange::of(ratings);
        for (const double v : sent) {
            if (!range.accepts(v) || !range.raw(v)) {
                refuse(s, QStringLiteral("%1 V is out of range for module %2: it takes %3 V")
                              .arg(number(v))
                              .arg(s.module)
                              .arg(range.limitsText()));
                break;
            }
        }
    }
}

QStringList PlanRunner::preview(const std::vector<PlanStep> &steps, int depth) const
{
    QStringList lines;
    const QString indent(depth * 2, QLatin1Char(' '));
    for (const PlanStep &s : steps) {
        const QString at = QStringLiteral("%1line %2: ").arg(indent).arg(s.line);
        switch (s.kind) {
        case Kind::Repeat:
            lines << at + QStringLiteral("repeat %1 time(s):").arg(s.count);
            lines << preview(s.body, depth + 1);
            continue;
        case Kind::Ramp: {
            const std::vector<double> points = rampPoints(s);
            QStringList shown;
            for (std::size_t i = 0; i < points.size(); ++i) {
                if (points.size() > ListedRampPoints && i == ListedRampPoints - 1) {
                    shown << QStringLiteral("...") << number(points.back());
                    break;
                }
                shown << number(points[i]);
            }
            lines << at + QStringLiteral("module %1 set-point %2 V, %3 after each")
                              .arg(s.module)
                              .arg(shown.join(QStringLiteral(", ")), duration(s.dwellMs));
            continue;
        }
        case Kind::Apply:
        case Kind::Require: {
            const auto source = m_sources.find(&s);
            const QString shown = source == m_sources.end() ? s.file : source->second.shown;
            lines << at + (s.kind == Kind::Apply ? QStringLiteral("apply %1")
                                                 : QStringLiteral("require %1"))
                              .arg(shown);
            continue;
        }
        case Kind::Hold:
            lines << at + QStringLiteral("hold %1, polling every %2")
                              .arg(duration(s.durationMs), duration(m_plan.pollMs));
            continue;
        case Kind::CheckVoltage:
            lines << at + QStringLiteral("check module %1 voltage within %2 of its set-point")
                              .arg(s.module)
                              .arg(s.toleranceKind == PlanStep::Tolerance::Percent
                                       ? number(s.tolerance) + QStringLiteral(" %")
                                       : number(s.tolerance) + QStringLiteral(" V"));
            continue;
        case Kind::CheckCurrent:
            lines << at + QStringLiteral("check module %1 current between %2 A and %3 A")
                              .arg(s.module)
                              .arg(number(s.low), number(s.high));
            continue;
        default:
            lines << at + actionText({&s, s.volts, 0, false});
        }
    }
    return lines;
}

PlanRunner::Preparation PlanRunner::prepare(const TestPlan &plan, const QList<int> &units)
{
    Preparation p;
    if (m_running) {
        p.outcome = Outcome::Refused;
        p.issues << PlanIssue{0, QStringLiteral("a plan is running")};
        return p;
    }
    m_prepared = false;
    m_plan = plan;
    m_units = units;
    m_info.clear();
    m_actions.clear();
    m_sources.clear();
    m_stopReason.clear();
    m_stopOutcome = Outcome::Passed;
    flatten(m_plan.steps);

    // The files first: a file that cannot be used is refused for every unit.
    std::vector<const PlanStep *> configSteps;
    const auto collect = [&](const auto &self, const std::vector<PlanStep> &steps) -> void {
        for (const PlanStep &s : steps) {
            if (s.kind == Kind::Repeat)
                self(self, s.body);
            else if (s.kind == Kind::Apply || s.kind == Kind::Require)
                configSteps.push_back(&s);
        }
    };
    collect(collect, m_plan.steps);
    for (const PlanStep *s : configSteps) {
        QString why;
        if (auto source = configSource(*s, &why))
            m_sources.emplace(s, *std::move(source));
        else
            p.issues << PlanIssue{s->line, why};
    }
    if (units.isEmpty())
        p.issues << PlanIssue{0, QStringLiteral("no unit to run the plan on")};
    if (!p.issues.isEmpty()) {
        p.outcome = Outcome::Refused;
        return p;
    }

    for (const int unit : units) {
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        QString error;
        const std::optional<UnitState> state = session.readUnit(unit, &error);
        if (!state) {
            p.outcome = Outcome::DeviceError;
            p.issues << PlanIssue{0, QStringLiteral("unit %1: %2").arg(unit).arg(error)};
            continue;
        }
        UnitInfo info;
        info.unit = unit;
        info.serialNumber = state->serialNumber;
        info.present = state->presentModules;
        info.ratings = state->ratings;
        QList<PlanIssue> issues;
        checkSteps(m_plan.steps, info, *state, issues, false);
        checkSteps(m_plan.finallySteps, info, *state, issues, true);
        for (const PlanStep *s : configSteps) {
            const ConfigSource &source = m_sources.at(s);
            const std::optional<ConfigPlan> diff =
                session.diff(*source.contents.unit(source.section), unit, &error);
            if (!diff) {
                p.outcome = Outcome::DeviceError;
                issues << PlanIssue{s->line, QStringLiteral("unit %1: %2").arg(unit).arg(error)};
                continue;
            }
            for (const ConfigPlan::Row &row : diff->rows) {
                if (row.kind == ConfigPlan::Kind::Refused) {
                    issues << PlanIssue{
                        s->line,
                        QStringLiteral("unit %1: %2: %3").arg(unit).arg(source.shown, row.message)};
                    break;
                }
            }
        }
        p.issues << issues;
        UnitPreview preview{unit, info.serialNumber, this->preview(m_plan.steps, 0)};
        if (m_plan.explicitFinally) {
            preview.actions << QStringLiteral("finally:") << this->preview(m_plan.finallySteps, 1);
        } else {
            QStringList modules;
            for (int m = 1; m <= 5; ++m) {
                if (info.present.mid(m - 1, 1) == QLatin1String("1"))
                    modules << QString::number(m);
            }
            preview.actions << QStringLiteral("finally: module %1 output off, global output off")
                                   .arg(modules.join(QStringLiteral(", ")));
        }
        p.units << preview;
        m_info.push_back(info);
    }
    if (!p.issues.isEmpty() && p.outcome == Outcome::Passed)
        p.outcome = Outcome::Refused;
    m_prepared = p.ok();
    return p;
}

void PlanRunner::requestStop(const QString &reason)
{
    stop(reason.isEmpty() ? QStringLiteral("stopped") : reason, Outcome::Stopped);
}

void PlanRunner::stop(const QString &reason, PlanRunResult::Outcome outcome)
{
    if (!m_stopReason.isEmpty())
        return;
    m_stopReason = reason;
    m_stopOutcome = outcome;
}

PlanRunResult PlanRunner::run()
{
    PlanRunResult r;
    r.planName = m_plan.name;
    r.planPath = m_plan.path;
    r.start = Seams::clock().currentDateTime();
    if (m_running || !m_prepared) {
        r.outcome = Outcome::Refused;
        r.stopReason = m_running ? QStringLiteral("a plan is running")
                                 : QStringLiteral("the plan was not prepared for its units");
        return r;
    }
    // Claimed before the first device call lets events in.
    m_running = true;
    m_prepared = false; // a run reads its units again before the next one
    int done = 0;
    const SharedLine::Holding line;
    Clock &clock = Seams::clock();
    const int total = totalActions();
    emit progress(0, total);

    for (const UnitInfo &info : m_info) {
        UnitRun u(info, clock.monotonicMs());
        u.result.unit = info.unit;
        u.result.serialNumber = info.serialNumber;
        u.result.start = clock.currentDateTime();
        // A stop asked while the units were read is heard before anything is sent.
        QCoreApplication::processEvents();
        if (!m_stopReason.isEmpty()) {
            u.result.stopReason = QStringLiteral("not run: ") + m_stopReason;
            r.units << u.result;
            continue;
        }
        emit unitStarted(info.unit, info.serialNumber);
        Status status = Status::Ok;
        for (const Action &a : m_actions) {
            if (!m_stopReason.isEmpty()) {
                status = Status::Stop;
                break;
            }
            emit stepStarted(info.unit, a.step->line, actionText(a));
            u.touched = true;
            status = execute(u, a);
            if (status == Status::Ok)
                status = watchAlarms(u);
            emit progress(++done, total);
            if (status != Status::Ok)
                break;
        }
        if (status == Status::Stop && u.result.stopReason.isEmpty())
            u.result.stopReason = m_stopReason;
        if (status == Status::Stop)
            u.outcome = worse(u.outcome, Outcome::Stopped);
        if (u.failedCheck)
            u.outcome = worse(u.outcome, Outcome::CheckFailed);
        if (u.touched) {
            u.result.safeState = runFinally(u);
            if (!u.result.safeState) {
                r.unreached << info.unit;
                u.outcome = Outcome::DeviceError;
            }
        } else {
            u.result.stopReason = QStringLiteral("not run: ") + m_stopReason;
        }
        u.result.seconds = double(clock.monotonicMs() - u.startMs) / 1000.0;
        r.outcome = worse(r.outcome, u.outcome);
        if (r.stopReason.isEmpty())
            r.stopReason = u.result.stopReason;
        r.units << u.result;
        emit unitFinished(u.result);
        // A unit that ended early is over; a stopped run shows how far it got.
        if (status != Status::Stop)
            done = int(r.units.size() * qsizetype(m_actions.size()));
    }
    if (!m_stopReason.isEmpty()) {
        r.stopReason = m_stopReason;
        r.outcome = worse(r.outcome, m_stopOutcome);
    }
    emit progress(m_stopReason.isEmpty() ? total : done, total);
    m_running = false;
    emit finished(r);
    return r;
}

PlanRunner::Status PlanRunner::execute(UnitRun &u, const Action &a)
{
    const PlanStep &s = *a.step;
    switch (s.kind) {
    case Kind::Ramp: {
        const Status set = setpoint(u, s.line, s.module, a.volts);
        return set == Status::Ok ? wait(u, a.dwellMs) : set;
    }
    case Kind::Setpoint:
        return setpoint(u, s.line, s.module, s.volts);
    case Kind::Output:
        return output(u, s.module, s.on);
    case Kind::GlobalOutput:
        return global(u, s.on);
    case Kind::Hold:
        return wait(u, s.durationMs);
    case Kind::Apply:
    case Kind::Require:
        return config(u, s);
    case Kind::Repeat:
        return Status::Ok; // flattened away
    default:
        return check(u, s);
    }
}

PlanRunner::Status PlanRunner::lost(UnitRun &u, const QString &why)
{
    // A port that no longer opens ends the run: no unit can be reached.
    ZelkDevice &device = *ZelkGlobals::Device;
    const QString reply = device.OpenPort(ZelkGlobals::ComPort);
    device.ClosePort();
    u.outcome = Outcome::DeviceError;
    if (!IsCmdOk(reply)) {
        stop(QStringLiteral("the port %1 was lost (%2)").arg(ZelkGlobals::ComPort, reply),
             Outcome::DeviceError);
        u.result.stopReason = m_stopReason;
        return Status::PortLost;
    }
    u.result.stopReason = why;
    return Status::UnitLost;
}

PlanRunner::Status PlanRunner::setpoint(UnitRun &u, int line, int module, double volts)
{
    Q_UNUSED(line);
    const auto raw = SetpointRange::of(u.info.ratings.at(std::size_t(module - 1))).raw(volts);
    if (!raw) // prepare refuses these; kept from the wire all the same
        return lost(u,
                    QStringLiteral("module %1: %2 V does not fit the unit").arg(module).arg(volts));
    const MonitorSession::OutputBurst burst = u.session.setVoltageSetpoint(u.u, module, *raw);
    if (!burst.ok())
        return lost(u, QStringLiteral("unit %1 module %2: set-point answered %3")
                           .arg(u.u)
                           .arg(module)
                           .arg(burst.reply));
    u.sent[std::size_t(module - 1)] = volts;
    return Status::Ok;
}

PlanRunner::Status PlanRunner::output(UnitRun &u, int module, bool on)
{
    const MonitorSession::OutputBurst burst = u.session.setOutputState(u.u, module, on);
    if (!burst.ok())
        return lost(u, QStringLiteral("unit %1 module %2: output answered %3")
                           .arg(u.u)
                           .arg(module)
                           .arg(burst.reply));
    return Status::Ok;
}

PlanRunner::Status PlanRunner::global(UnitRun &u, bool on)
{
    u.session.setGlobalOutput(u.u, on);
    if (ZelkGlobals::ErrorFlag)
        return lost(u,
                    QStringLiteral("unit %1: global output: %2").arg(u.u, ZelkGlobals::LastError));
    return Status::Ok;
}

PlanRunner::Status PlanRunner::config(UnitRun &u, const PlanStep &step)
{
    const ConfigSource &source = m_sources.at(&step);
    const ConfigFileContents::Unit &section = *source.contents.unit(source.section);
    ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
    PlanCheckResult c;
    c.line = step.line;
    c.quantity = QStringLiteral("config");
    if (step.kind == Kind::Apply) {
        c.name = QStringLiteral("Apply %1").arg(source.shown);
        const ConfigSession::UnitSummary summary =
            session.applyTo(section, u.info.unit, false, true);
        if (summary.outcome == ConfigSession::Outcome::DeviceError)
            return lost(u, summary.text);
        c.passed = summary.outcome == ConfigSession::Outcome::Done;
        c.message = summary.text;
        c.measured = summary.writes;
    } else {
        c.name = QStringLiteral("Require %1").arg(source.shown);
        QString error;
        const std::optional<ConfigPlan> diff = session.diff(section, u.info.unit, &error);
        if (!diff)
            return lost(u, error);
        QStringList differ;
        for (const ConfigPlan::Row &row : diff->rows) {
            if (row.kind == ConfigPlan::Kind::Write || row.kind == ConfigPlan::Kind::Held)
                differ << QStringLiteral("%1: unit %2, file %3")
                              .arg(row.name(), row.unitText, row.fileText);
            else if (row.kind == ConfigPlan::Kind::Refused)
                differ << row.name() + QStringLiteral(": ") + row.message;
        }
        c.passed = differ.isEmpty();
        c.measured = double(differ.size());
        c.message = c.passed ? QStringLiteral("the unit matches")
                             : QStringLiteral("%1 difference(s): %2")
                                   .arg(differ.size())
                                   .arg(differ.mid(0, 5).join(QStringLiteral("; ")));
    }
    return record(u, c);
}

PlanRunner::Status PlanRunner::check(UnitRun &u, const PlanStep &s)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    const UnitArg unit(u.u);
    const auto m = qint16(s.module);
    const clsScalability *ratings =
        s.module >= 1 && s.module <= 5 ? &u.info.ratings.at(std::size_t(s.module - 1)) : nullptr;
    PlanCheckResult c;
    c.line = s.line;
    c.module = aboutModule(s.kind) ? s.module : 0;

    const QString opened = device.OpenPort(ZelkGlobals::ComPort);
    QString reply = opened;
    const auto answered = [&](const QString &r) {
        reply = r;
        return IsCmdOk(r);
    };
    bool ok = IsCmdOk(opened);
    switch (s.kind) {
    case Kind::CheckVoltage: {
        c.name = QStringLiteral("Module %1 voltage").arg(s.module);
        c.quantity = QStringLiteral("voltage");
        c.unit = QStringLiteral("V");
        std::optional<double> reference = u.sent[std::size_t(s.module - 1)];
        qint16 raw = 0;
        if (ok && !reference && (ok = answered(device.GetDefaultOutputVoltage(unit, m, raw))))
            reference = raw / ratings->VoltageScaleFactor;
        if (ok && (ok = answered(device.MeasureOutputVoltage(unit, m, raw)))) {
            const double tolerance = s.toleranceKind == PlanStep::Tolerance::Percent
                                         ? std::abs(*reference) * s.tolerance / 100.0
                                         : s.tolerance;
            c.measured = raw / ratings->VoltageScaleFactor;
            c.low = *reference - tolerance;
            c.high = *reference + tolerance;
            c.passed = *c.measured >= *c.low - 1e-9 && *c.measured <= *c.high + 1e-9;
            c.message = QStringLiteral("set-point %1 V").arg(number(*reference));
        }
        break;
    }
    case Kind::CheckCurrent: {
        c.name = QStringLiteral("Module %1 current").arg(s.module);
        c.quantity = QStringLiteral("current");
        c.unit = QStringLiteral("A");
        qint16 raw = 0;
        if (ok && (ok = answered(device.MeasureOutputCurrent(unit, m, raw)))) {
            c.measured = raw / ratings->CurrentScaleFactor;
            c.low = s.low;
            c.high = s.high;
            c.passed = *c.measured >= s.low - 1e-9 && *c.measured <= s.high + 1e-9;
        }
        break;
    }
    case Kind::CheckGood: {
        c.name = QStringLiteral("Module %1 good").arg(s.module);
        c.quantity = QStringLiteral("good");
        StatusArray good;
        if (ok && (ok = answered(device.GetModuleGoodStatusByte(unit, good)))) {
            c.passed = good(s.module) == 1;
            c.measured = c.passed ? 1 : 0;
            c.message =
                c.passed ? QStringLiteral("Module good") : QStringLiteral("Module not good");
        }
        break;
    }
    case Kind::CheckNoAlarm: {
        c.name = QStringLiteral("No alarm");
        c.quantity = QStringLiteral("alarm");
        StatusArray status;
        if (ok && (ok = answered(device.GetGlobalStatusByte(unit, status)))) {
            QStringList raised;
            for (const PlanAlarm alarm : raisedAlarms(status))
                raised << (alarm == PlanAlarm::DcGood
                               ? QStringLiteral("dc-good lost")
                               : alarmName(alarm) + QStringLiteral(" raised"));
            c.passed = raised.isEmpty();
            c.measured = double(raised.size());
            c.message = c.passed ? QStringLiteral("No alarm") : raised.join(QStringLiteral(", "));
        }
        break;
    }
    case Kind::CheckHours: {
        c.name = QStringLiteral("Operating hours");
        c.quantity = QStringLiteral("hours");
        QString hours;
        if (ok && (ok = answered(device.GetOperatingHoursString(unit, hours)))) {
            const QString shown =
                MonitorSession::formatHours(hours.isEmpty() ? QStringLiteral("0") : hours);
            c.passed = true;
            c.measured = MonitorSession::plainHours(shown).toDouble();
            c.message = shown + QStringLiteral(" hours");
        }
        break;
    }
    default:
        break;
    }
    device.ClosePort();
    if (!ok)
        return lost(u, QStringLiteral("unit %1 does not answer (%2)").arg(u.u, reply));
    return record(u, c);
}

PlanRunner::Status PlanRunner::record(UnitRun &u, PlanCheckResult c)
{
    Clock &clock = Seams::clock();
    c.time = clock.currentDateTime();
    c.seconds = double(clock.monotonicMs() - u.startMs) / 1000.0;
    u.result.checks << c;
    emit checkMeasured(u.info.unit, c);
    if (c.passed)
        return Status::Ok;
    u.failedCheck = true;
    if (!m_plan.stopOnFail)
        return Status::Ok;
    stop(QStringLiteral("stop-on-fail: unit %1: %2 failed (line %3)").arg(u.u, c.name).arg(c.line),
         Outcome::CheckFailed);
    u.result.stopReason = m_stopReason;
    return Status::CheckFailed;
}

PlanRunner::Status PlanRunner::poll(UnitRun &u)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    StatusArray status;
    QString reply = device.OpenPort(ZelkGlobals::ComPort);
    if (IsCmdOk(reply))
        reply = device.GetGlobalStatusByte(UnitArg(u.u), status);
    device.ClosePort();
    if (!IsCmdOk(reply))
        return lost(u, QStringLiteral("unit %1 does not answer (%2)").arg(u.u, reply));
    for (const PlanAlarm alarm : raisedAlarms(status)) {
        if (m_plan.stopOnAlarms.contains(alarm)) {
            stop(alarm == PlanAlarm::DcGood
                     ? QStringLiteral("stop-on-alarm: unit %1: global DC good lost").arg(u.u)
                     : QStringLiteral("stop-on-alarm: unit %1: %2 raised")
                           .arg(u.u, alarmName(alarm)),
                 Outcome::Stopped);
            u.result.stopReason = m_stopReason;
            return Status::Stop;
        }
    }
    return Status::Ok;
}

PlanRunner::Status PlanRunner::watchAlarms(UnitRun &u)
{
    return m_plan.stopOnAlarms.isEmpty() ? Status::Ok : poll(u);
}

PlanRunner::Status PlanRunner::wait(UnitRun &u, int ms)
{
    Clock &clock = Seams::clock();
    const qint64 end = clock.monotonicMs() + ms;
    const int pollMs = qMax(1, m_plan.pollMs);
    qint64 nextPoll = clock.monotonicMs() + pollMs;
    for (;;) {
        QCoreApplication::processEvents();
        if (!m_stopReason.isEmpty())
            return Status::Stop;
        const qint64 now = clock.monotonicMs();
        if (now >= end)
            return Status::Ok;
        if (now >= nextPoll) {
            if (const Status polled = poll(u); polled != Status::Ok)
                return polled;
            nextPoll = clock.monotonicMs() + pollMs;
            continue;
        }
        QThread::msleep(quint64(std::min<qint64>({WaitSliceMs, end - now, nextPoll - now})));
    }
}

bool PlanRunner::runFinally(UnitRun &u)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    const UnitArg unit(u.u);
    // Plain writes, each tried whatever came of the one before: the unit is
    // left as safe as it can be reached.
    bool reached = true;
    const auto write = [&](const auto &call) {
        QString reply = device.OpenPort(ZelkGlobals::ComPort);
        if (IsCmdOk(reply))
            reply = call();
        device.ClosePort();
        if (!IsCmdOk(reply)) {
            reached = false;
            if (u.result.stopReason.isEmpty())
                u.result.stopReason = QStringLiteral("finally: %1").arg(reply);
        }
    };
    const auto run = [&](const PlanStep &s) {
        const auto m = qint16(s.module);
        switch (s.kind) {
        case Kind::Setpoint: {
            const auto raw =
                SetpointRange::of(u.info.ratings.at(std::size_t(s.module - 1))).raw(s.volts);
            write([&] { return device.SetOutputVoltageSetpoint(unit, m, raw.value_or(0)); });
            break;
        }
        case Kind::Output:
            write([&] { return device.SetOutputState(unit, m, s.on ? 1 : 0); });
            break;
        case Kind::GlobalOutput:
            write([&] { return device.SetGlobalOutputState(unit, s.on ? 1 : 0); });
            break;
        default:
            break;
        }
    };
    if (m_plan.explicitFinally) {
        for (const PlanStep &s : m_plan.finallySteps)
            run(s);
        return reached;
    }
    for (int m = 1; m <= 5; ++m) {
        if (u.info.present.mid(m - 1, 1) == QLatin1String("1"))
            write([&] { return device.SetOutputState(unit, qint16(m), 0); });
    }
    write([&] { return device.SetGlobalOutputState(unit, 0); });
    return reached;
}
