#include "DrawnArrowStyle.h"
#include "HelpViewer.h"
#include "Label3D.h"
#include "MainForm.h"
#include "MonitorForm.h"
#include "QtDesktopServices.h"
#include "QtDialogs.h"
#include "Seams.h"
#include "ShownProbe.h"
#include "SimulatedBus.h"
#include "SupplyConfig.h"
#include "WindowRegistry.h"
#include "ZelkGlobals.h"
#include "frmAboutZelk.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZelkSoft"));
    DrawnArrowStyle::install();

    const QStringList args = QApplication::arguments();
    ZelkGlobals::ApplicationFolder = resolveApplicationFolder(args);

    // One copy per application folder: the lock's name comes from the folder.
    const QByteArray folderHash =
        QCryptographicHash::hash(ZelkGlobals::ApplicationFolder.toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    QtDialogs dialogs;
    QtDesktopServices desktop(QDir::temp().filePath(
        QStringLiteral("zelksoft-") + QString::fromLatin1(folderHash) + QStringLiteral(".lock")));
    Seams::setDialogs(&dialogs);
    Seams::setDesktop(&desktop);

    registerSimulatedBus();
    // The windows reach one another by name.
    WindowRegistry::registerWindow(WindowRegistry::Launcher, [] { return &MainForm::instance(); });
    WindowRegistry::registerWindow(WindowRegistry::Editor,
                                   [] { return &SupplyConfig::instance(); });
    WindowRegistry::registerWindow(QStringLiteral("frmAboutZelk"),
                                   [] { return new frmAboutZelk(&MainForm::instance()); });
    WindowRegistry::registerControl(QStringLiteral("Label3D"),
                                    [](QWidget *parent) { return new Label3D(parent); });
    QtDesktopServices::setHelpHandler(
        [](const QString &helpFile, const QString &topic, HelpCommand command) {
            return HelpViewer::instance().open(helpFile, topic, command);
        });

    MainForm &launcher = MainForm::instance();
    if (!launcher.Form_Load()) {
        MainForm::destroyInstance();
        ZelkGlobals::Device.reset();
        return 0;
    }
    ShownProbe::exitWhenShownIfAsked(&launcher);
    launcher.show();

    // --grab FILE: save a picture of the launcher and end (for looking at it
    // on a machine without a screen).
    const qsizetype grab = args.indexOf(QStringLiteral("--grab"));
    if (grab >= 0 && grab + 1 < args.size()) {
        const QString file = args.at(grab + 1);
        QTimer::singleShot(300, &launcher, [&launcher, file] {
            launcher.grab().save(file);
            QApplication::quit();
        });
    }

    const int rc = QApplication::exec();
    HelpViewer::destroyInstance();
    SupplyConfig::destroyInstance();
    MonitorForm::destroyInstance();
    MainForm::destroyInstance();
    WindowRegistry::clear();
    ZelkGlobals::Device.reset();
    Seams::setDialogs(nullptr);
    Seams::setDesktop(nullptr);
    return rc;
}
