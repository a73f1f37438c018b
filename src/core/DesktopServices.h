#pragma once

#include <QString>

// What the help viewer is asked to show around a topic.
enum class HelpCommand { DisplayTopic = 0, Contents = 1, Index = 2 };

// What the program asks of the desktop around it: editors, browsers, help,
// other programs, the mouse pointer and the one-instance rule.
class DesktopServices
{
public:
    virtual ~DesktopServices() = default;

    // Opens a text file in the user's text editor; false when none could start.
    virtual bool openTextFile(const QString &path) = 0;
    virtual bool openUrl(const QString &url) = 0;
    // Shows a topic of the help file; false when the help cannot be shown.
    virtual bool showHelpTopic(const QString &helpFile, const QString &topic,
                               HelpCommand command = HelpCommand::DisplayTopic) = 0;
    // The system-information program, or empty when the platform has none.
    virtual QString systemInfoProgram() = 0;
    // Starts a command line as a new process without waiting for it.
    virtual bool runDetached(const QString &commandLine) = 0;
    // True when this is the only running instance; the claim lasts for the run.
    virtual bool claimSingleInstance() = 0;
    virtual void setBusyPointer(bool busy) = 0;
    virtual void setPointerHidden(bool hidden) = 0;
    // Enables or disables the window the user is working in.
    virtual void setActiveWindowEnabled(bool enabled) = 0;
};
