#pragma once

#include "core/Dialogs.h"

#include <QTextStream>

// The boxes of the data layer on a terminal: a message goes to standard error
// as one line and is answered with its default button; nothing asks for input.
class ConsoleDialogs final : public Dialogs
{
public:
    explicit ConsoleDialogs(QTextStream &err)
        : m_err(err)
    {}

    MsgResult MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon,
                     const QString &title) override;
    void Notice(const QString &text, MsgIcon icon, const QString &title) override;
    InputResult InputBox(const QString &, const QString &, const QString &) override { return {}; }
    QString GetSaveFileName(const FileDialogRequest &) override { return {}; }
    QString GetOpenFileName(const FileDialogRequest &) override { return {}; }

private:
    QTextStream &m_err;
};
