#include "app/ZelkApplication.h"
#include "core/AppFolders.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core_windows/DrawnArrowStyle.h"
#include "core_windows/MainForm.h"
#include "core_windows/QtDesktopServices.h"
#include "core_windows/QtDialogs.h"
#include "device/SwitchableBus.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

const char *const Usage =
    "Usage: ZelkSoft [--app-dir DIR] [--bus simulated|serial] [--grab FILE]\n"
    "Configure and watch modular programmable power supplies on a serial line,\n"
    "or on a simulated bus of virtual units when no hardware is attached.\n"
    "\n"
    "  --app-dir DIR  keep the settings, the simulated bus and the error file in DIR\n"
    "                 (also ZELK_APP_DIR); otherwise beside the program when its data\n"
    "                 files are there, else in $XDG_DATA_HOME/zelksoft\n"
    "                 (~/.local/share/zelksoft), seeded from share/zelksoft\n"
    "  --bus KIND     talk to the simulated bus or the serial line for this run\n"
    "  --grab FILE    save a picture of the launcher to FILE and end\n"
    "  --help         show this text and end\n"
    "  --version      show the version and end\n"
    "\n"
    "A serial port you may not open: add yourself to the port's group (dialout on\n"
    "Debian) with 'sudo adduser $USER dialout', then log out and back in.\n";

// Answered before any window system is needed, so they work without a display.
bool answeredAlone(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("ZelkSoft %s\n", qPrintable(ZelkGlobals::Version));
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredAlone(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZelkSoft"));
    // The desktop entry's name: the desktop finds the menu entry and the icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zelksoft.ZelkSoft"));
    DrawnArrowStyle::install();

    const QStringList args = QApplication::arguments();
    if (AppFolders::appDirOption(args).missingFolder()) {
        std::fprintf(stderr, "ZelkSoft: %s needs a value\n", qPrintable(AppFolders::AppDirFlag));
        return 2;
    }
    QString badBus;
    if (!SwitchableBus::takeOverride(args, &badBus)) {
        std::fprintf(stderr, "ZelkSoft: %s\n", qPrintable(badBus));
        return 2;
    }

    QtDialogs dialogs;
    Seams::setDialogs(&dialogs);
    if (!ZelkApplication::takeFolders(AppFolders::resolve(AppFolders::fromProcess(args)))) {
        Seams::setDialogs(nullptr);
        return 1;
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

    // --grab FILE: save a picture of the launcher and end (for looking at it
    // on a machine without a screen).
    const qsizetype grab = args.indexOf(QStringLiteral("--grab"));
    if (grab >= 0 && grab + 1 < args.size()) {
        const QString file = args.at(grab + 1);
        QTimer::singleShot(300, &app, [file] {
            MainForm::instance().grab().save(file);
            QApplication::quit();
        });
    }

    const int rc = ZelkApplication::run();
    Seams::setDialogs(nullptr);
    Seams::setDesktop(nullptr);
    return rc;
}
