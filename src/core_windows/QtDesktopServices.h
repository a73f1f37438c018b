#pragma once

#include "core/DesktopServices.h"

#include <QLockFile>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

// The desktop as Qt reaches it on this platform.
class QtDesktopServices final : public DesktopServices
{
public:
    // lockName: the lock that keeps a second copy of the program from running.
    explicit QtDesktopServices(QString lockName);
    // Where the single-copy lock of the program in applicationFolder lives:
    // the user's runtime folder ($XDG_RUNTIME_DIR) when it is theirs, else
    // the application folder. Copies with other folders never share it.
    static QString singleInstanceLockPath(const QString &applicationFolder);
    ~QtDesktopServices() override;

    // The help viewer installs itself here; without one, help cannot be shown.
    using HelpHandler =
        std::function<bool(const QString &helpFile, const QString &topic, HelpCommand command)>;
    static void setHelpHandler(HelpHandler handler);

    bool openTextFile(const QString &path) override;
    bool openUrl(const QString &url) override;
    bool showHelpTopic(const QString &helpFile, const QString &topic, HelpCommand command) override;
    QString systemInfoProgram() override;
    bool runDetached(const QString &commandLine) override;
    // False only when another copy holds the lock. A lock that cannot be
    // opened or taken for any other reason is passed by with one line on
    // stderr: a stray file must not stop the program.
    bool claimSingleInstance() override;
    void setBusyPointer(bool busy) override;
    void setPointerHidden(bool hidden) override;
    void setActiveWindowEnabled(bool enabled) override;

private:
    QString m_lockName;
#ifdef Q_OS_UNIX
    int m_lockFd = -1;
#else
    std::unique_ptr<QLockFile> m_lock;
#endif
    bool m_busy = false;
    bool m_hidden = false;
    QPointer<QWidget> m_disabledWindow;
};
