#include "cli/ConsoleDialogs.h"

MsgResult ConsoleDialogs::MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon,
                                 const QString &title)
{
    Notice(text, icon, title);
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgResult::No; // nothing is done on a question nobody answered
    case MsgButtons::OKCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    case MsgButtons::AbortRetryIgnore:
        return MsgResult::Abort;
    case MsgButtons::OK:
        break;
    }
    return MsgResult::OK;
}

void ConsoleDialogs::Notice(const QString &text, MsgIcon, const QString &)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), u' ');
    m_err << "zelkctl: " << line.trimmed() << Qt::endl;
}
