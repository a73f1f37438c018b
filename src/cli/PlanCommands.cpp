#include "cli/PlanCommands.h"

#include "plans/PlanReader.h"
#include "plans/PlanReport.h"
#include "plans/PlanRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace PlanCommands {

using namespace ZelkCtl;
using Outcome = PlanRunResult::Outcome;

namespace {

const QString Json = QStringLiteral("--json");

// The write end of the pipe a signal handler writes to: writing a byte is
// all a handler may safely do; the event loop reads it and asks the runner
// to stop.
int g_signalWrite = -1;

extern "C" void onSignal(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    if (g_signalWrite >= 0) [[maybe_unused]]
        const auto n = ::write(g_signalWrite, &byte, 1);
    errno = saved;
}

// SIGINT and SIGTERM stop the run cleanly while this lives: the runner's
// finally steps still run, and the process ends with "stopped".
class StopOnSignals
{
public:
    explicit StopOnSignals(PlanRunner &runner, Console &console)
    {
        if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        g_signalWrite = m_pipe[1];
        m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, &runner, &console] {
            char byte = 0;
            while (::read(m_pipe[0], &byte, 1) == 1) {
                const QString why = byte == SIGINT ? QStringLiteral("interrupted (SIGINT)")
                                                   : QStringLiteral("terminated (SIGTERM)");
                console.err << "zelkctl: " << why << ": stopping, the finally steps run"
                            << Qt::endl;
                runner.requestStop(why);
            }
        });
        struct sigaction action
        {
        };
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
        m_installed = true;
    }
    ~StopOnSignals()
    {
        if (!m_installed)
            return;
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_signalWrite = -1;
        m_notifier.reset();
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
    StopOnSignals(const StopOnSignals &) = delete;
    StopOnSignals &operator=(const StopOnSignals &) = delete;

private:
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInt
    {
    };
    struct sigaction m_oldTerm
    {
    };
    bool m_installed = false;
};

QString issueText(const QString &path, const PlanIssue &issue)
{
    return issue.line > 0 ? QStringLiteral("%1:%2: %3").arg(path).arg(issue.line).arg(issue.reason)
                          : QStringLiteral("%1: %2").arg(path, issue.reason);
}

// The plan's problems, one a line on standard error (and in the JSON).
int refuse(Console &console, const Arguments &args, const QString &path,
           const QList<PlanIssue> &issues, int code)
{
    QJsonArray listed;
    for (const PlanIssue &issue : issues) {
        console.err << "zelkctl: " << issueText(path, issue) << Qt::endl;
        listed.append(QJsonObject{{"line", issue.line}, {"reason", issue.reason}});
    }
    if (args.has(Json)) {
        const QString first = issues.isEmpty() ? QString() : issueText(path, issues.first());
        console.out << QJsonDocument(
                           QJsonObject{{"error", first}, {"issues", listed}, {"exitCode", code}})
                           .toJson(QJsonDocument::Indented);
    }
    return code;
}

QString value(double v, const QString &unit)
{
    return QString::number(v, 'f', 3) + QLatin1Char(' ') + unit;
}

QString checkLine(int unit, const PlanCheckResult &c)
{
    QStringList parts;
    if (c.measured && !c.unit.isEmpty())
        parts << value(*c.measured, c.unit);
    if (c.low && c.high && !c.unit.isEmpty())
        parts
            << QStringLiteral("limits %1 .. %2").arg(value(*c.low, c.unit), value(*c.high, c.unit));
    if (!c.message.isEmpty())
        parts << c.message;
    if (parts.isEmpty())
        parts << QStringLiteral("no reading");
    return QStringLiteral("Unit %1: %2 (line %3): %4: %5")
        .arg(unit)
        .arg(c.name)
        .arg(c.line)
        .arg(parts.join(QStringLiteral(", ")),
             c.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
}

QString summaryLine(const PlanUnitResult &u)
{
    qsizetype failed = 0;
    for (const PlanCheckResult &c : u.checks)
        failed += c.passed ? 0 : 1;
    QString text =
        QStringLiteral("Unit %1%2: %3, %4 check(s)")
            .arg(u.unit)
            .arg(u.serialNumber.isEmpty() ? QString() : QLatin1Char(' ') + u.serialNumber)
            .arg(u.passed() ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
            .arg(u.checks.size());
    if (failed)
        text += QStringLiteral(", %1 failed").arg(failed);
    if (!u.stopReason.isEmpty())
        text += QStringLiteral("; ") + u.stopReason;
    return text;
}

} // namespace

int run(Console &console, const Arguments &args)
{
    QList<int> units;
    for (const QString &word : args.words.mid(1)) {
        const auto unit = unitNumber(word);
        if (!unit || units.contains(*unit)) {
            units.clear();
            break;
        }
        units << *unit;
    }
    if (args.words.size() < 2 || units.isEmpty()) {
        const QString why =
            QStringLiteral("run takes PLAN and one or more different UNIT IDs 1..32");
        if (args.has(Json))
            console.out << QJsonDocument(QJsonObject{{"error", why}, {"exitCode", Usage}})
                               .toJson(QJsonDocument::Indented);
        console.err << "zelkctl: " << why << Qt::endl;
        return Usage;
    }
    const QString path = args.words.first();
    const PlanReader::Result read = PlanReader::read(path);
    if (!read.plan)
        return refuse(console, args, path, read.issues, int(Outcome::Refused));

    PlanRunner runner;
    // From before the first read, so that a stop asked meanwhile sends nothing.
    const StopOnSignals stopOnSignals(runner, console);
    console.progress(QStringLiteral("Reading unit(s) and checking the plan against them"));
    const PlanRunner::Preparation prepared = runner.prepare(*read.plan, units);
    if (!prepared.ok())
        return refuse(console, args, path, prepared.issues, int(prepared.outcome));

    if (args.has(QStringLiteral("--dry-run"))) {
        QJsonArray listed;
        for (const PlanRunner::UnitPreview &u : prepared.units) {
            if (args.has(Json)) {
                listed.append(QJsonObject{{"unit", u.unit},
                                          {"serialNumber", u.serialNumber},
                                          {"actions", QJsonArray::fromStringList(u.actions)}});
                continue;
            }
            console.out << "Unit " << u.unit << " " << u.serialNumber
                        << " (dry run, nothing sent):\n";
            for (const QString &line : u.actions)
                console.out << "  " << line << "\n";
        }
        if (args.has(Json))
            console.out << QJsonDocument(QJsonObject{{"plan", read.plan->name},
                                                     {"dryRun", true},
                                                     {"actions", runner.totalActions()},
                                                     {"units", listed}})
                               .toJson(QJsonDocument::Indented);
        console.out.flush();
        return int(Outcome::Passed);
    }

    if (!args.has(Json)) {
        QObject::connect(&runner, &PlanRunner::checkMeasured,
                         [&console](int unit, const PlanCheckResult &c) {
                             console.out << checkLine(unit, c) << Qt::endl;
                         });
    }
    QObject::connect(
        &runner, &PlanRunner::unitStarted, [&console](int unit, const QString &serial) {
            console.progress(QStringLiteral("Unit %1 %2: running").arg(unit).arg(serial));
        });
    const PlanRunResult result = runner.run();

    int rc = int(result.outcome);
    for (const int unit : result.unreached)
        console.err << "zelkctl: unit " << unit
                    << " could not be reached to leave it safe (finally)" << Qt::endl;
    if (!result.stopReason.isEmpty())
        console.err << "zelkctl: " << result.stopReason << Qt::endl;
    if (args.has(Json)) {
        console.out << PlanReport::json(result);
    } else {
        for (const PlanUnitResult &u : result.units)
            console.out << summaryLine(u) << "\n";
    }
    if (args.values.contains(QStringLiteral("--report"))) {
        QString error;
        if (!PlanReport::writeFiles(result, args.value(QStringLiteral("--report")), &error)) {
            console.err << "zelkctl: the report could not be written: " << error << Qt::endl;
            if (rc == int(Outcome::Passed))
                rc = Usage;
        }
    }
    console.out.flush();
    return rc;
}

} // namespace PlanCommands
