#pragma once

#include <QString>

// The boxes a window shows the user. Windows and routines never open a box
// themselves: they go through the installed Dialogs, so a test can answer
// every box and read the exact words shown.
enum class MsgButtons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgResult { OK, Cancel, Abort, Retry, Ignore, Yes, No };

struct InputResult
{
    bool accepted = false; // false: the user cancelled
    QString text;
};

struct FileDialogRequest
{
    QString title;
    QString directory;
    QString defaultName;
    QString filter; // Qt filter string, first entry is the default choice
    QString defaultSuffix;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual MsgResult MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon,
                             const QString &title) = 0;
    // A message that does not wait for the user: the caller goes on at once
    // (a poll must not stop while a notice about it is open).
    virtual void Notice(const QString &text, MsgIcon icon, const QString &title) = 0;
    virtual InputResult InputBox(const QString &prompt, const QString &title,
                                 const QString &defaultText) = 0;
    // The chosen path, or empty when the user cancelled.
    virtual QString GetSaveFileName(const FileDialogRequest &request) = 0;
    virtual QString GetOpenFileName(const FileDialogRequest &request) = 0;
};
