#include "app/ZelkApplication.h"

#include "about/HelpViewer.h"
#include "about/frmAboutZelk.h"
#include "controls/Label3D.h"
#include "core/AppFolders.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkTexts.h"
#include "core_windows/MainForm.h"
#include "core_windows/QtDesktopServices.h"
#include "core_windows/ShownProbe.h"
#include "core_windows/WindowRegistry.h"
#include "device/SharedLineDevice.h"
#include "editor/SupplyConfig.h"
#include "grouping/frmModuleGrouping.h"
#include "inspector/FrameTraffic.h"
#include "monitor/MonitorForm.h"
#include "planwindow/PlanWindow.h"

#include <QApplication>
#include <cstdio>

namespace ZelkApplication {

namespace {
// What the folders' set-up has to tell the user, once the launcher is up.
QStringList g_toTell;
} // namespace

bool takeFolders(const AppFolders &folders)
{
    if (!folders.failure.isEmpty()) {
        std::fprintf(stderr, "ZelkSoft: %s\n", qPrintable(folders.failure));
        Seams::dialogs().MsgBox(folders.failure, MsgButtons::OK, MsgIcon::Critical,
                                ZelkTexts::SoftwareTitle);
        return false;
    }
    ZelkGlobals::ApplicationFolder = folders.applicationFolder;
    ZelkGlobals::ShippedFolder = folders.shippedFolder;
    ZelkGlobals::StartupNotes = folders.notes;
    for (const QString &line : folders.tell)
        std::fprintf(stderr, "ZelkSoft: %s\n", qPrintable(line));
    g_toTell = folders.tell;
    return true;
}

void wire()
{
    WindowRegistry::registerWindow(WindowRegistry::Launcher, [] { return &MainForm::instance(); });
    WindowRegistry::registerWindow(WindowRegistry::Editor,
                                   [] { return &SupplyConfig::instance(); });
    WindowRegistry::registerWindow(WindowRegistry::Monitor,
                                   [] { return &MonitorForm::instance(); });
    WindowRegistry::registerWindow(QStringLiteral("frmAboutZelk"),
                                   [] { return new frmAboutZelk(&MainForm::instance()); });
    WindowRegistry::registerWindow(WindowRegistry::FrameTraffic,
                                   [] { return new FrameTraffic(&MainForm::instance()); });
    WindowRegistry::registerWindow(WindowRegistry::TestPlans,
                                   [] { return new PlanWindow(&MainForm::instance()); });
    WindowRegistry::registerControl(QStringLiteral("Label3D"),
                                    [](QWidget *parent) { return new Label3D(parent); });
    QtDesktopServices::setHelpHandler(
        [](const QString &helpFile, const QString &topic, HelpCommand command) {
            return HelpViewer::instance().open(helpFile, topic, command);
        });
}

bool start()
{
    MainForm &launcher = MainForm::instance();
    if (!launcher.Form_Load())
        return false;
    // Every window's device sequences share the one line.
    SharedLineDevice::install();
    ShownProbe::exitWhenShownIfAsked(&launcher);
    launcher.show();
    // A notice, not a box to answer: start-up goes on, and so do scripts
    // that start the program.
    for (const QString &line : std::as_const(g_toTell))
        Seams::dialogs().Notice(line, MsgIcon::Information, ZelkTexts::SoftwareTitle);
    g_toTell.clear();
    return true;
}

int run()
{
    const int rc = QApplication::exec();
    unwire();
    return rc;
}

void unwire()
{
    HelpViewer::destroyInstance();
    frmModuleGrouping::destroyInstance();
    SupplyConfig::destroyInstance();
    MonitorForm::destroyInstance();
    MainForm::destroyInstance();
    WindowRegistry::clear();
    QtDesktopServices::setHelpHandler({});
    ZelkGlobals::Device.reset();
}

} // namespace ZelkApplication
