#pragma once

#include "core/Clock.h"
#include "core/DesktopServices.h"
#include "core/Dialogs.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

// A clock a test sets. Every monotonic query moves it on by autoAdvanceMs so
// that waits end without real time passing. A hook runs once, at the next
// monotonic query: the moment a pause starts and lets events in.
class FakeClock final : public Clock
{
public:
    QDateTime now = QDateTime(QDate(2026, 12, 4), QTime(10, 30, 0));
    qint64 monotonic = 0;
    qint64 autoAdvanceMs = 1;
    std::function<void()> hook;

    QDateTime currentDateTime() override { return now.addMSecs(monotonic); }
    qint64 monotonicMs() override
    {
        if (auto h = std::exchange(hook, nullptr))
            h();
        monotonic += autoAdvanceMs;
        return monotonic;
    }
};

// Answers boxes from a script and keeps a transcript of every box shown.
class ScriptedDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "MsgBox", "Notice", "InputBox", "SaveFile", "OpenFile"
        QString title;
        QString text;
        MsgIcon icon = MsgIcon::None;
        MsgButtons buttons = MsgButtons::OK;
        FileDialogRequest file;
    };

    std::vector<Shown> shown;
    std::deque<MsgResult> msgAnswers;          // default: the first button
    std::deque<InputResult> inputAnswers;      // default: cancelled
    std::deque<QString> fileAnswers;           // default: cancelled
    std::function<void(const Shown &)> onShow; // e.g. act while a box is up

    MsgResult MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon,
                     const QString &title) override;
    void Notice(const QString &text, MsgIcon icon, const QString &title) override;
    InputResult InputBox(const QString &prompt, const QString &title,
                         const QString &defaultText) override;
    QString GetSaveFileName(const FileDialogRequest &request) override;
    QString GetOpenFileName(const FileDialogRequest &request) override;

    QStringList texts() const;
    int count() const { return static_cast<int>(shown.size()); }
};

// Records what the program asked of the desktop.
class RecordingDesktop final : public DesktopServices
{
public:
    QStringList openedTextFiles, openedUrls, helpTopics, commands;
    QString systemInfo;
    bool instanceFree = true;
    bool helpAvailable = true;
    bool busy = false, hidden = false, windowEnabled = true;

    bool openTextFile(const QString &path) override;
    bool openUrl(const QString &url) override;
    // Records "file::topic" (with "#contents"/"#index" for those commands).
    bool showHelpTopic(const QString &helpFile, const QString &topic, HelpCommand command) override;
    QString systemInfoProgram() override { return systemInfo; }
    bool runDetached(const QString &commandLine) override;
    bool claimSingleInstance() override { return instanceFree; }
    void setBusyPointer(bool b) override { busy = b; }
    void setPointerHidden(bool h) override { hidden = h; }
    void setActiveWindowEnabled(bool e) override { windowEnabled = e; }
};

// Installs fresh fakes and a fresh application folder for one test, and puts
// everything back afterwards.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    FakeClock clock;
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;

    QString folder() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Copies a shipped data file (data/<name>) into the folder.
    void copyShipped(const QString &name) const;
    void writeFile(const QString &name, const QByteArray &bytes) const;
    // The globals a device sequence needs, without start-up: shipped ratings,
    // error file error124.txt, port COM1, the selected unit.
    void prepareDeviceGlobals(const QString &selectedUnit) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
};
