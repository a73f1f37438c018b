#include "cli/ZelkCtl.h"

#include "cli/ConfigCommands.h"
#include "cli/ConsoleDialogs.h"
#include "cli/LiveCommands.h"
#include "cli/PlanCommands.h"
#include "core/AppFolders.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "device/FrameLog.h"
#include "device/SwitchableBus.h"

#include <QCoreApplication>

#include <memory>
#include <unistd.h>

namespace ZelkCtl {

namespace {

const QStringList ValueOptions = {"--port",   "--bus",     "--app-dir", "--from",   "--interval",
                                  "--log",    "--count",   "--volts",   "--output", "--trace",
                                  "--report", "--metrics", "--bench"};
const QStringList FlagOptions = {"--json", "--dry-run", "--no-verify", "--restart",
                                 "--all",  "--help",    "-h",          "--version"};

struct Command
{
    const char *name;
    const char *usage;
    const char *text;
    int (*run)(Console &, const Arguments &);
    QStringList options; // the command's own, besides the global ones
};

// Taken by every command.
const QStringList GlobalOptions = {"--app-dir", "--bus",  "--port",
                                   "--trace",   "--help", "--version"};

const Command Commands[] = {
    {"scan",
     "scan [--json]",
     "Lists the units that answer on IDs 1 to 32 with their serial number, firmware\n"
     "and module types. An ID where the line garbles the answer is reported: two units\n"
     "may share it.\n",
     ConfigCommands::scan,
     {"--json"}},
    {"read",
     "read UNIT [--json]",
     "Shows every setting the configuration file carries, as the unit holds it now.\n",
     ConfigCommands::read,
     {"--json"}},
    {"save",
     "save FILE [UNIT...]",
     "Saves the units (all that answer when none is named) to FILE, as the editor's\n"
     "Save does: a unit section PS<u> and a section per fitted module.\n",
     ConfigCommands::save,
     {}},
    {"diff",
     "diff FILE UNIT [--from PS<n>] [--json]",
     "Sets a section of FILE against UNIT, setting by setting as device values, and\n"
     "lists what differs and what the unit would refuse. Writes nothing. The section\n"
     "is the one --from names, even where the file has PS<UNIT> too; without --from,\n"
     "PS<UNIT> when the file has it, else the file's only section.\n",
     ConfigCommands::diff,
     {"--from", "--json"}},
    {"apply",
     "apply FILE UNIT... [--from PS<n>] [--dry-run] [--no-verify] [--restart] [--json]",
     "Writes the settings of a section of FILE that differ in each UNIT (\"all\": every\n"
     "unit that answers), in the editor's order, and reads each written setting back.\n"
     "A refused value writes nothing of its module; a failing unit does not stop the\n"
     "others. Outputs are left as they are unless --restart switches them off and on.\n"
     "The section is the one --from names, even where the file has PS<UNIT> too;\n"
     "without --from, PS<UNIT> when one UNIT is named and the file has it, else the\n"
     "file's only section. A section never read from a unit (no serial number, no\n"
     "module) is refused.\n"
     "  --dry-run    show what would be written, write nothing\n"
     "  --no-verify  do not read the written settings back\n"
     "  --restart    restart the outputs of a unit whose modules were written\n",
     ConfigCommands::apply,
     {"--from", "--dry-run", "--no-verify", "--restart", "--json"}},
    {"set",
     "set UNIT MODULE (--volts V | --output on|off)",
     "Sets a module's live set-point (within its type's range) or switches its output.\n",
     LiveCommands::set,
     {"--volts", "--output"}},
    {"output",
     "output UNIT on|off",
     "Switches the unit's global output.\n",
     LiveCommands::output,
     {}},
    {"monitor",
     "monitor (UNIT... | --all) --interval SECONDS --log FILE [--count N]\n"
     "        [--metrics ADDRESS:PORT [--bench NAME]]",
     "Polls the units every SECONDS and appends each poll to the status log FILE\n"
     "(\".csv\" or \".txt\"), the same log as the monitor window writes. Runs until\n"
     "stopped, or N polls. Several UNITs are polled in turn; --all polls every unit\n"
     "that answers at the start, each in turn, every SECONDS (0: as fast as the line\n"
     "allows).\n"
     "  --metrics ADDRESS:PORT  serve the units' live state for Prometheus at\n"
     "               http://ADDRESS:PORT/metrics (PORT alone: 127.0.0.1), from what\n"
     "               the polls saw: a scrape sends nothing to a unit\n"
     "  --bench NAME the bench label of every series (else ZelkGui.ini's\n"
     "               [METRICS] Bench)\n",
     LiveCommands::monitor,
     {"--all", "--interval", "--log", "--count", "--metrics", "--bench"}},
    {"run",
     "run PLAN UNIT... [--dry-run] [--report BASE] [--json]",
     "Runs the test plan PLAN on each UNIT in turn: reads the units, checks every value\n"
     "the plan would send against the module types' ratings, the modules fitted and\n"
     "the plan's apply and require files, and refuses the whole plan (exit code 4)\n"
     "before anything is sent when one does not fit. Then each step, one line per\n"
     "check, and a PASS/FAIL line per unit. However the run ends (a failed check with\n"
     "stop-on-fail, an alarm the plan stops on, a unit that stops answering, Ctrl-C\n"
     "or SIGTERM), the plan's finally steps (by default every output and the global\n"
     "output off) are sent to each unit the run started; a unit they could not reach\n"
     "is named on standard error.\n"
     "  --dry-run      show what would be sent to each unit, send nothing\n"
     "  --report BASE  write BASE.xml (JUnit), BASE.csv and BASE.json\n"
     "  --json         the run's results as one JSON object, as BASE.json\n"
     "Exit codes of run: 0 every unit passed; 2 a unit or the port failed; 4 the plan\n"
     "was refused, nothing sent; 5 a check failed; 6 stopped (signal or alarm). Where\n"
     "several apply, the first of 2, 6, 5 wins; a report that could not be written\n"
     "turns 0 into 1.\n",
     PlanCommands::run,
     {"--dry-run", "--report", "--json"}},
};

const Command *command(const QString &name)
{
    for (const Command &c : Commands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

const char *const Global =
    "Global options:\n"
    "  --app-dir DIR  the program's folder: settings, simulated bus, error file\n"
    "  --bus KIND     simulated or serial, for this run\n"
    "  --port PORT    the port to open, instead of the one in ZelkGui.ini\n"
    "  --trace FILE   every frame on the serial line, a CSV line each, as the\n"
    "                 frame inspector shows them\n"
    "  --help         this text, or a command's with COMMAND --help\n"
    "  --version      the version\n"
    "\n"
    "Exit codes: 0 done; 1 usage, or a file or section that cannot be used; 2 no\n"
    "answer or device error, or a write whose outcome is unknown; 3 verify found a\n"
    "difference; 4 refused by ratings or rules. Where several apply, the first of\n"
    "2, 4, 3 wins. run adds 5 (a check failed) and 6 (stopped); see run --help.\n";

} // namespace

Arguments parse(const QStringList &tokens)
{
    Arguments a;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        QString t = tokens.at(i);
        if (t.startsWith(QLatin1Char('-')) && t.size() > 1 && !t.at(1).isDigit()) {
            QString value;
            bool hasValue = false;
            if (const qsizetype eq = t.indexOf(QLatin1Char('=')); eq > 0) {
                value = t.mid(eq + 1);
                t = t.left(eq);
                hasValue = true;
            }
            if (FlagOptions.contains(t) && !hasValue) {
                a.flags.insert(t == QLatin1String("-h") ? QStringLiteral("--help") : t);
            } else if (ValueOptions.contains(t)) {
                if (!hasValue) {
                    if (i + 1 >= tokens.size()) {
                        a.error = QStringLiteral("%1 needs a value").arg(t);
                        return a;
                    }
                    value = tokens.at(++i);
                }
                a.values.insert(t, value);
            } else {
                a.error = QStringLiteral("unknown option %1").arg(tokens.at(i));
                return a;
            }
        } else if (a.command.isEmpty()) {
            a.command = t;
        } else {
            a.words << t;
        }
    }
    return a;
}

QString help(const QString &name)
{
    if (const Command *c = command(name)) {
        return QStringLiteral("Usage: zelkctl [global options] %1\n\n%2\n%3")
            .arg(QLatin1String(c->usage), QLatin1String(c->text), QLatin1String(Global));
    }
    QString text = QStringLiteral("Usage: zelkctl [global options] COMMAND [arguments]\n\n"
                                  "Configures and watches the units from a terminal, on the "
                                  "same bus and\nsettings files as the program.\n\nCommands:\n");
    for (const Command &c : Commands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(c.usage));
    return text + QLatin1Char('\n') + QLatin1String(Global);
}

std::optional<int> unitNumber(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > 32 || text != QString::number(n))
        return std::nullopt;
    return n;
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const Arguments args = parse(arguments.mid(1));
    Console console{out, err, isatty(STDERR_FILENO) == 1};
    const auto usage = [&](const QString &why) {
        err << "zelkctl: " << why << "\n"
            << "Try 'zelkctl --help'." << Qt::endl;
        return int(Usage);
    };
    if (!args.error.isEmpty())
        return usage(args.error);
    // "--app-dir=" would otherwise fall back to the default folder's bus.
    if (AppFolders::appDirOption(arguments).missingFolder())
        return usage(QStringLiteral("%1 needs a value").arg(AppFolders::AppDirFlag));
    if (args.has(QStringLiteral("--version"))) {
        out << "zelkctl " << ZelkGlobals::Version << Qt::endl;
        return Done;
    }
    const Command *c = command(args.command);
    if (args.has(QStringLiteral("--help"))) {
        if (!args.command.isEmpty() && !c)
            return usage(QStringLiteral("unknown command %1").arg(args.command));
        out << help(args.command);
        out.flush();
        return Done;
    }
    if (args.command.isEmpty())
        return usage(QStringLiteral("no command given"));
    if (!c)
        return usage(QStringLiteral("unknown command %1").arg(args.command));
    // An option the command does not take would be ignored: a --dry-run that
    // does not keep `output` from switching, say.
    QStringList given = args.values.keys() + QStringList(args.flags.cbegin(), args.flags.cend());
    given.sort();
    for (const QString &option : std::as_const(given)) {
        if (!GlobalOptions.contains(option) && !c->options.contains(option))
            return usage(QStringLiteral("%1 does not take %2").arg(QLatin1String(c->name), option));
    }

    QString why;
    if (!SwitchableBus::takeOverride(arguments, &why))
        return usage(why);
    const AppFolders folders = AppFolders::resolve(AppFolders::fromProcess(arguments));
    if (!folders.failure.isEmpty()) {
        err << "zelkctl: " << folders.failure << Qt::endl;
        return Usage;
    }
    ZelkGlobals::ApplicationFolder = folders.applicationFolder;
    ZelkGlobals::ShippedFolder = folders.shippedFolder;
    ZelkGlobals::StartupNotes = folders.notes;
    for (const QString &line : folders.tell)
        err << "zelkctl: " << line << Qt::endl;

    ConsoleDialogs dialogs(err);
    Seams::setDialogs(&dialogs);
    registerSwitchableBus();
    int rc = Done;
    if (!InitGlobals(folders.applicationFolder, &why)) {
        err << "zelkctl: " << why << Qt::endl;
        rc = DeviceError;
    } else {
        if (args.values.contains(QStringLiteral("--port")))
            ZelkGlobals::ComPort = args.value(QStringLiteral("--port"));
        std::unique_ptr<FrameTraceFile> trace;
        if (args.values.contains(QStringLiteral("--trace")))
            trace = std::make_unique<FrameTraceFile>(args.value(QStringLiteral("--trace")));
        if (trace && !trace->error().isEmpty()) {
            err << "zelkctl: cannot write the trace " << args.value(QStringLiteral("--trace"))
                << ": " << trace->error() << Qt::endl;
            rc = Usage;
        } else {
            rc = c->run(console, args);
        }
    }
    out.flush();
    err.flush();
    ZelkGlobals::Device.reset(); // the bus writes its last state and lets go of it
    Seams::setDialogs(nullptr);
    return rc;
}

int worst(int a, int b)
{
    const auto rank = [](int code) {
        switch (code) {
        case DeviceError:
            return 4;
        case Refused:
            return 3;
        case VerifyDiffers:
            return 2;
        case Usage:
            return 5;
        default:
            return 0;
        }
    };
    return rank(a) >= rank(b) ? a : b;
}

} // namespace ZelkCtl
