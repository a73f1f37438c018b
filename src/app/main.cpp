#include "app/StartOptions.h"
#include "app/ZelkApplication.h"
#include "core/AppFolders.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core_windows/DrawnArrowStyle.h"
#include "core_windows/MainForm.h"
#include "core_windows/QtDesktopServices.h"
#include "core_windows/QtDialogs.h"
#include "device/SwitchableBus.h"
#include "metrics/MetricsEndpoint.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

namespace {

const char *const Usage =
    "Usage: ZelkSoft [--app-dir DIR] [--bus simulated|serial] [--grab FILE]\n"
    "                [--metrics ADDRESS:PORT] [--bench NAME]\n"
    "Configure and watch modular programmable power supplies on a serial line,\n"
    "or on a simulated bus of virtual units when no hardware is attached.\n"
    "\n"
    "  --app-dir DIR  keep the settings, the simulated bus and the error file in DIR\n"
    "                 (also ZELK_APP_DIR); otherwise beside the program when its data\n"
    "                 files are there, else in $XDG_DATA_HOME/zelksoft\n"
    "                 (~/.local/share/zelksoft), seeded from share/zelksoft\n"
    "  --bus KIND     talk to the simulated bus or the serial line for this run\n"
    "  --grab FILE    save a picture of the launcher to FILE and end\n"
    "  --metrics ADDRESS:PORT  serve the units' live state for Prometheus at\n"
    "                 http://ADDRESS:PORT/metrics (PORT alone: 127.0.0.1; also\n"
    "                 ZelkGui.ini's [METRICS] Listen); off by default\n"
    "  --bench NAME   the bench label of every metric (also [METRICS] Bench)\n"
    "  --help         show this text and end\n"
    "  --version      show the version and end\n"
    "Qt's own options, such as -platform NAME and -style NAME, are taken too.\n"
    "\n"
    "Exit status: 0 once the program ended; 1 when it cannot start (no display, or\n"
    "no folder for its settings); 2 for a wrong option or argument.\n"
    "\n"
    "A serial port you may not open: add yourself to the port's group (dialout on\n"
    "Debian) with 'sudo adduser $USER dialout', then log out and back in.\n";

// Exit codes beside 0, as ZelkSoft(1) gives them.
constexpr int CannotStart = 1; // no display, or no folder for the settings
constexpr int UsageMistake = 2;

} // namespace

int main(int argc, char *argv[])
{
    // Everything about the command line is settled before QApplication,
    // which needs a display and aborts the process without one.
    QStringList given;
    for (int i = 0; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = StartOptions::read(given);
    switch (options.action) {
    case StartOptions::Action::Help:
        std::fputs(Usage, stdout);
        return 0;
    case StartOptions::Action::Version:
        std::printf("ZelkSoft %s\n", qPrintable(ZelkGlobals::Version));
        return 0;
    case StartOptions::Action::Usage:
        std::fprintf(stderr, "ZelkSoft: %s\nTry 'ZelkSoft --help'.\n", qPrintable(options.problem));
        return UsageMistake;
    case StartOptions::Action::Run:
        break;
    }
    QString badBus;
    if (!SwitchableBus::takeOverride(given, &badBus)) {
        std::fprintf(stderr, "ZelkSoft: %s\n", qPrintable(badBus));
        return UsageMistake;
    }
    const QString platform =
        options.platform.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : options.platform;
    const QString display =
        options.display.isEmpty() ? qEnvironmentVariable("DISPLAY") : options.display;
    if (const QString why = StartOptions::missingDisplay(platform, display,
                                                         qEnvironmentVariable("WAYLAND_DISPLAY"));
        !why.isEmpty()) {
        std::fprintf(stderr, "ZelkSoft: %s\n", qPrintable(why));
        return CannotStart;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZelkSoft"));
    // The desktop entry's name: the desktop finds the menu entry and the icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zelksoft.ZelkSoft"));
    DrawnArrowStyle::install();

    const QStringList args = QApplication::arguments();

    QtDialogs dialogs;
    Seams::setDialogs(&dialogs);
    if (!ZelkApplication::takeFolders(AppFolders::resolve(AppFolders::fromProcess(args)))) {
        Seams::setDialogs(nullptr);
        return CannotStart;
    }
    QtDesktopServices desktop(
        QtDesktopServices::singleInstanceLockPath(ZelkGlobals::ApplicationFolder));
    Seams::setDesktop(&desktop);

    // The simulated bus unless the port dialog, ZelkGui.ini or --bus chose the line.
    registerSwitchableBus();
    ZelkApplication::wire();
    if (!ZelkApplication::start()) {
        ZelkApplication::unwire();
        return 0;
    }

    // The metrics endpoint, when asked for: one that cannot listen is told,
    // and the program works on without it.
    if (const QString why = MetricsEndpoint::startConfigured(options.metrics, options.bench,
                                                             ZelkGlobals::GuiIniPath);
        !why.isEmpty()) {
        std::fprintf(stderr, "ZelkSoft: %s\n", qPrintable(why));
        Seams::dialogs().Notice(why + QStringLiteral("\n\nThe units are polled as before; "
                                                     "Prometheus cannot scrape this bench."),
                                MsgIcon::Exclamation, QStringLiteral("Metrics"));
    }

    // --grab FILE: save a picture of the launcher and end (for looking at it
    // on a machine without a screen).
    if (!options.grabFile.isEmpty()) {
        QTimer::singleShot(300, &app, [file = options.grabFile] {
            MainForm::instance().grab().save(file);
            QApplication::quit();
        });
    }

    const int rc = ZelkApplication::run();
    MetricsEndpoint::stop();
    Seams::setDialogs(nullptr);
    Seams::setDesktop(nullptr);
    return rc;
}
