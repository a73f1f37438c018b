#include "app/ZelkApplication.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core_windows/DrawnArrowStyle.h"
#include "core_windows/MainForm.h"
#include "core_windows/QtDesktopServices.h"
#include "core_windows/QtDialogs.h"
#include "device/SimulatedBus.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZelkSoft"));
    DrawnArrowStyle::install();

    const QStringList args = QApplication::arguments();
    ZelkGlobals::ApplicationFolder = resolveApplicationFolder(args);

    QtDialogs dialogs;
    QtDesktopServices desktop(
        QtDesktopServices::singleInstanceLockPath(ZelkGlobals::ApplicationFolder));
    Seams::setDialogs(&dialogs);
    Seams::setDesktop(&desktop);

    registerSimulatedBus();
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
