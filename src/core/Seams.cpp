#include "core/Seams.h"

#include "core/Clock.h"
#include "core/DesktopServices.h"
#include "core/Dialogs.h"

namespace {

// Until something is installed, boxes answer as if the user pressed the
// default button and the desktop offers nothing: code that runs without a
// screen (benchmarks, tools) must never block on a box.
class SilentDialogs final : public Dialogs
{
public:
    MsgResult MsgBox(const QString &, MsgButtons buttons, MsgIcon, const QString &) override
    {
        switch (buttons) {
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
            return MsgResult::Yes;
        case MsgButtons::AbortRetryIgnore:
            return MsgResult::Abort;
        case MsgButtons::RetryCancel:
            return MsgResult::Retry;
        default:
            return MsgResult::OK;
        }
    }
    void Notice(const QString &, MsgIcon, const QString &) override {}
    InputResult InputBox(const QString &, const QString &, const QString &) override { return {}; }
    QString GetSaveFileName(const FileDialogRequest &) override { return {}; }
    QString GetOpenFileName(const FileDialogRequest &) override { return {}; }
};

class NoDesktop final : public DesktopServices
{
public:
    bool openTextFile(const QString &) override { return false; }
    bool openUrl(const QString &) override { return false; }
    bool showHelpTopic(const QString &, const QString &, HelpCommand) override { return false; }
    QString systemInfoProgram() override { return {}; }
    bool runDetached(const QString &) override { return false; }
    bool claimSingleInstance() override { return true; }
    void setBusyPointer(bool) override {}
    void setPointerHidden(bool) override {}
    void setActiveWindowEnabled(bool) override {}
};

SilentDialogs g_silentDialogs;
NoDesktop g_noDesktop;
SystemClock g_systemClock;

Dialogs *g_dialogs = &g_silentDialogs;
DesktopServices *g_desktop = &g_noDesktop;
Clock *g_clock = &g_systemClock;

} // namespace

namespace Seams {
Dialogs &dialogs()
{
    return *g_dialogs;
}
DesktopServices &desktop()
{
    return *g_desktop;
}
Clock &clock()
{
    return *g_clock;
}

void setDialogs(Dialogs *dialogs)
{
    g_dialogs = dialogs ? dialogs : &g_silentDialogs;
}
void setDesktop(DesktopServices *desktop)
{
    g_desktop = desktop ? desktop : &g_noDesktop;
}
void setClock(Clock *clock)
{
    g_clock = clock ? clock : &g_systemClock;
}
} // namespace Seams
