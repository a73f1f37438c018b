// zelk-unitsim: the simulated bus's units on a real line, for the program,
// for any Modbus tool, and for the tests.
#include "core/AppFolders.h"
#include "core/ZelkGlobals.h"
#include "device/SimBusIniKeys.h"
#include "device/SimulatedBus.h"
#include "unitsim/UnitRegisterServer.h"
#include "unitsim/UnitSimCommands.h"
#include "unitsim/UnitSimLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using UnitSimCommands::rate;

namespace {

int g_stopWrite = -1;

void requestStop(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_stopWrite, &byte, 1);
}

int fail(const QString &text)
{
    std::fprintf(stderr, "zelk-unitsim: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelk-unitsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves the units of a simulated bus (a simbus.ini) at their unit IDs on one line:\n"
        "Modbus RTU on a pseudo-terminal, or Modbus TCP on 127.0.0.1, with the register map\n"
        "of docs/wire-protocol.md. A frame for an ID no unit has gets no answer. The line is\n"
        "paced at the baud rate both ways, so a read takes its real time on the wire.\n"
        "Every change a client writes is in the store at once; Ctrl-C ends it cleanly.\n\n"
        "Example: zelk-unitsim --store bus/simbus.ini --pty --link /tmp/zelk-line\n"
        "         ZelkSoft --bus serial   (port /tmp/zelk-line in the port dialog)"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption store(
        QStringLiteral("store"),
        QStringLiteral("The units' settings file (made with the demo bus when missing)."),
        QStringLiteral("simbus.ini"));
    const QCommandLineOption scale(
        QStringLiteral("scale"),
        QStringLiteral("Module ratings (default: scale.ini beside the store, else beside this "
                       "program, else the installed shared data)."),
        QStringLiteral("scale.ini"));
    const QCommandLineOption pty(
        QStringLiteral("pty"),
        QStringLiteral("Serve Modbus RTU on a new pseudo-terminal; prints the path to open."));
    const QCommandLineOption link(
        QStringLiteral("link"),
        QStringLiteral("With --pty: make PATH a symbolic link to that path (replaced if it is "
                       "one, removed at the end)."),
        QStringLiteral("PATH"));
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Serve Modbus TCP on 127.0.0.1:PORT instead (0: a free port); prints "
                       "127.0.0.1:PORT."),
        QStringLiteral("PORT"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Line rate, 8N1 (default 9600)."),
                                  QStringLiteral("N"), QStringLiteral("9600"));
    const QCommandLineOption garble(
        QStringLiteral("garble-rate"),
        QStringLiteral("Share of answers with one byte changed, 0..1 (behind --tcp: the gateway "
                       "answers exception 0B)."),
        QStringLiteral("P"), QStringLiteral("0"));
    const QCommandLineOption drop(QStringLiteral("drop-rate"),
                                  QStringLiteral("Share of requests left unanswered, 0..1."),
                                  QStringLiteral("P"), QStringLiteral("0"));
    const QCommandLineOption delay(QStringLiteral("delay-ms"),
                                   QStringLiteral("Extra time before every answer."),
                                   QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption lateRate(
        QStringLiteral("late-rate"),
        QStringLiteral("Share of answers that start --late-ms later than the rest, 0..1."),
        QStringLiteral("P"), QStringLiteral("0"));
    const QCommandLineOption lateMs(QStringLiteral("late-ms"),
                                    QStringLiteral("How late a late answer starts (default 600)."),
                                    QStringLiteral("MS"), QStringLiteral("600"));
    const QCommandLineOption writesOnly(
        QStringLiteral("writes-only"),
        QStringLiteral("--garble-rate and --drop-rate spoil only the answers to writes (the "
                       "unit has done the write)."));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Units that never answer, as 3,5,7-9."),
                                    QStringLiteral("UNITS"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the fault draws (default 1)."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption noNoise(QStringLiteral("no-noise"),
                                     QStringLiteral("Measurements without their small noise."));
    const QCommandLineOption refuseBlocks(
        QStringLiteral("refuse-blocks"),
        QStringLiteral("Answer a read of more than one value with this exception (2 or 3), as "
                       "a unit that reads one value a request."),
        QStringLiteral("CODE"));
    const QCommandLineOption load(
        QStringLiteral("load"),
        QStringLiteral("Constant-current loads from the start, as UNIT:MODULE:AMPS[,...] (unit "
                       "1..32, module 1..5, amperes 0 or more): the module draws AMPS whatever "
                       "its set-point, as far as its current limit lets it (0: nothing), in "
                       "place of the store's load; nothing is written to the store."),
        QStringLiteral("LOADS"));
    const QCommandLineOption commands(
        QStringLiteral("commands"),
        QStringLiteral(
            "Take commands from standard input while serving, one a line: \"silent UNITS\" "
            "takes units off the line, \"answer UNITS\" puts them back, \"late P MS\" makes a "
            "share P of the answers MS late (\"late 0\" ends it), \"load UNIT MODULE AMPS\" "
            "connects a constant-current load as --load does, \"alarm UNIT NAME on|off\" "
            "raises or clears an alarm of the global status (NAME over-temp, fan-fail, ac-fail "
            "or dc-good: global DC good lost); loads and alarms last until the end, the store "
            "keeps none. Each is confirmed on standard output, a wrong one is told on "
            "standard error."));
    parser.addOptions({store, scale, pty, link, tcp, baud, garble, drop, writesOnly, delay,
                       lateRate, lateMs, silent, seed, noNoise, refuseBlocks, load, commands});
    // Not process(): it ends a wrong option with 1, where the manual page
    // gives 2 for every usage mistake.
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText() + QStringLiteral(" (see --help)"));
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1 (see --help)")
                        .arg(parser.positionalArguments().constFirst()));

    if (!parser.isSet(store))
        return fail(QStringLiteral("--store is needed (see --help)"));
    if (parser.isSet(pty) == parser.isSet(tcp))
        return fail(QStringLiteral("give one of --pty and --tcp"));
    const QFileInfo storeFile(parser.value(store));
    if (storeFile.fileName() != SimBusIniKeys::FileName)
        return fail(QStringLiteral("the store must be named simbus.ini"));
    bool ok = false;
    const int baudRate = parser.value(baud).toInt(&ok);
    if (!ok || baudRate < 300 || baudRate > 4'000'000)
        return fail(QStringLiteral("--baud: not a line rate"));
    LineFaults faults;
    const auto garbleRate = rate(parser.value(garble));
    const auto dropRate = rate(parser.value(drop));
    faults.delayMs = parser.value(delay).toInt(&ok);
    if (!garbleRate || !dropRate || !ok || faults.delayMs < 0)
        return fail(QStringLiteral("a rate is 0..1, a delay 0 or more"));
    faults.garbleRate = *garbleRate;
    faults.dropRate = *dropRate;
    const auto lateShare = rate(parser.value(lateRate));
    faults.lateMs = parser.value(lateMs).toInt(&ok);
    if (!lateShare || !ok || faults.lateMs < 0)
        return fail(QStringLiteral("--late-rate is 0..1, --late-ms 0 or more"));
    faults.lateRate = *lateShare;
    faults.writesOnly = parser.isSet(writesOnly);
    faults.seed = parser.value(seed).toUInt();
    const int refusal = parser.isSet(refuseBlocks) ? parser.value(refuseBlocks).toInt(&ok) : 0;
    if (parser.isSet(refuseBlocks) && (!ok || (refusal != 2 && refusal != 3)))
        return fail(QStringLiteral("--refuse-blocks: exception 2 or 3"));
    const auto silentUnits = UnitSimCommands::unitList(parser.value(silent));
    if (!silentUnits)
        return fail(QStringLiteral("--silent: unit IDs 1..32 as 3,5,7-9"));
    const auto loads = UnitSimCommands::loadList(parser.value(load));
    if (!loads)
        return fail(QStringLiteral("--load: UNIT:MODULE:AMPS[,...] with unit 1..32, module "
                                   "1..5, amperes 0 or more"));

    const QString folder = storeFile.absolutePath();
    QString scalePath = parser.value(scale);
    if (scalePath.isEmpty()) {
        // Beside the store, else beside this program (a build folder), else
        // the installed package's shared data.
        const QDir exe(QCoreApplication::applicationDirPath());
        for (const QString &candidate :
             {QDir(folder).filePath(QStringLiteral("scale.ini")),
              exe.filePath(QStringLiteral("scale.ini")),
              exe.filePath(AppFolders::ShareRelative + QStringLiteral("/scale.ini"))}) {
            scalePath = QDir::cleanPath(candidate);
            if (QFileInfo::exists(scalePath))
                break;
        }
    }
    ZelkGlobals::ApplicationFolder = folder;
    SimulatedBus bus(folder, scalePath);
    if (!bus.busHolder().isEmpty())
        return fail(
            QStringLiteral("%1 is in use by %2").arg(storeFile.filePath(), bus.busHolder()));
    bus.setWireModelEnabled(false); // the line itself is paced
    bus.setNoiseEnabled(!parser.isSet(noNoise));
    for (const int id : *silentUnits)
        bus.setUnitSilent(id, true);
    for (const UnitSimCommands::Load &one : *loads) {
        const QString why = UnitSimCommands::connectLoad(bus, one);
        if (!why.isEmpty())
            return fail(QStringLiteral("--load: ") + why);
    }
    bus.OpenPort(QStringLiteral("COM1"));
    UnitRegisterServer server(bus);
    server.refuseBlocks(quint8(refusal));

    int stopPipe[2];
    if (pipe2(stopPipe, O_CLOEXEC) != 0)
        return fail(QStringLiteral("cannot make a pipe"));
    g_stopWrite = stopPipe[1];
    struct sigaction action
    {
    };
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    UnitSimLine line(server, baudRate, faults);
    if (parser.isSet(commands)) {
        line.takeCommands(STDIN_FILENO, [&bus, &line](const QByteArray &text) {
            const auto outcome = UnitSimCommands::run(QString::fromUtf8(text), bus, line);
            std::fprintf(outcome.done ? stdout : stderr, "%s%s\n",
                         outcome.done ? "" : "zelk-unitsim: ", qPrintable(outcome.text));
            std::fflush(outcome.done ? stdout : stderr);
        });
    }
    QString why;
    if (parser.isSet(pty)) {
        const QString path = line.openPty(parser.value(link), &why);
        if (path.isEmpty())
            return fail(why);
        std::printf("%s\n", qPrintable(path));
    } else {
        const int wanted = parser.value(tcp).toInt(&ok);
        if (!ok || wanted < 0 || wanted > 65535)
            return fail(QStringLiteral("--tcp: not a port"));
        const quint16 port = line.listenTcp(quint16(wanted), &why);
        if (port == 0)
            return fail(why);
        std::printf("127.0.0.1:%u\n", unsigned(port));
    }
    std::fflush(stdout);

    line.run(stopPipe[0]);
    // Hours are counted when the port closes; every setting is in the store already.
    bus.ClosePort();
    return 0;
}
