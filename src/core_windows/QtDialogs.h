#pragma once

#include "core/Dialogs.h"

// The boxes shown with Qt's standard dialogs.
class QtDialogs final : public Dialogs
{
public:
    MsgResult MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon,
                     const QString &title) override;
    void Notice(const QString &text, MsgIcon icon, const QString &title) override;
    InputResult InputBox(const QString &prompt, const QString &title,
                         const QString &defaultText) override;
    QString GetSaveFileName(const FileDialogRequest &request) override;
    QString GetOpenFileName(const FileDialogRequest &request) override;
};
