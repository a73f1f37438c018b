#include "TestSeams.h"

#include "core/Seams.h"
#include "core/ZelkGlobals.h"

#include <QFile>
#include <QLocale>
#include <optional>

namespace {

// Keeps the box in the transcript, lets the test act while it is up, and
// answers with the next scripted answer, if any.
template<typename Answer>
std::optional<Answer> show(ScriptedDialogs &d, ScriptedDialogs::Shown s,
                           std::deque<Answer> &answers)
{
    d.shown.push_back(s);
    if (d.onShow)
        d.onShow(s);
    if (answers.empty())
        return std::nullopt;
    const Answer r = answers.front();
    answers.pop_front();
    return r;
}

} // namespace

MsgResult ScriptedDialogs::MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon,
                                  const QString &title)
{
    if (const auto r =
            show(*this, {QStringLiteral("MsgBox"), title, text, icon, buttons, {}}, msgAnswers))
        return *r;
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

void ScriptedDialogs::Notice(const QString &text, MsgIcon icon, const QString &title)
{
    std::deque<int> none;
    show(*this, {QStringLiteral("Notice"), title, text, icon, MsgButtons::OK, {}}, none);
}

InputResult ScriptedDialogs::InputBox(const QString &prompt, const QString &title,
                                      const QString &defaultText)
{
    Shown s{QStringLiteral("InputBox"), title, prompt, MsgIcon::None, MsgButtons::OKCancel, {}};
    s.file.defaultName = defaultText;
    return show(*this, s, inputAnswers).value_or(InputResult{});
}

QString ScriptedDialogs::GetSaveFileName(const FileDialogRequest &request)
{
    return show(*this,
                {"SaveFile", request.title, {}, MsgIcon::None, MsgButtons::OKCancel, request},
                fileAnswers)
        .value_or(QString());
}

QString ScriptedDialogs::GetOpenFileName(const FileDialogRequest &request)
{
    return show(*this,
                {"OpenFile", request.title, {}, MsgIcon::None, MsgButtons::OKCancel, request},
                fileAnswers)
        .value_or(QString());
}

QStringList ScriptedDialogs::texts() const
{
    QStringList t;
    for (const Shown &s : shown)
        t << s.text;
    return t;
}

bool RecordingDesktop::openTextFile(const QString &path)
{
    openedTextFiles << path;
    return true;
}

bool RecordingDesktop::openUrl(const QString &url)
{
    openedUrls << url;
    return true;
}

bool RecordingDesktop::showHelpTopic(const QString &helpFile, const QString &topic,
                                     HelpCommand command)
{
    QString entry = helpFile + QStringLiteral("::") + topic;
    if (command == HelpCommand::Contents)
        entry += QStringLiteral("#contents");
    else if (command == HelpCommand::Index)
        entry += QStringLiteral("#index");
    helpTopics << entry;
    return helpAvailable;
}

bool RecordingDesktop::runDetached(const QString &commandLine)
{
    commands << commandLine;
    return true;
}

TestEnvironment::TestEnvironment()
{
    ZelkGlobals::reset();
    QLocale::setDefault(QLocale::c());
    Seams::setClock(&clock);
    Seams::setDialogs(&dialogs);
    Seams::setDesktop(&desktop);
    ZelkGlobals::ApplicationFolder = folder();
}

TestEnvironment::~TestEnvironment()
{
    ZelkGlobals::reset();
    QLocale::setDefault(QLocale::c());
    Seams::setClock(nullptr);
    Seams::setDialogs(nullptr);
    Seams::setDesktop(nullptr);
}

void TestEnvironment::copyShipped(const QString &name) const
{
    QFile::remove(path(name));
    // A test run as another user gets a copy of the data it can read.
    const QString shipped =
        qEnvironmentVariable("ZELK_SHIPPED_DATA_DIR", QStringLiteral(ZELK_SHIPPED_DATA_DIR));
    QFile::copy(shipped + QLatin1Char('/') + name, path(name));
    QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner);
}

void TestEnvironment::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile f(path(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TestEnvironment::readFile(const QString &name) const
{
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestEnvironment::prepareDeviceGlobals(const QString &selectedUnit) const
{
    copyShipped(QStringLiteral("scale.ini"));
    ZelkGlobals::ScaleIniPath = path(QStringLiteral("scale.ini"));
    ZelkGlobals::ErrorFilePath = path(QStringLiteral("error124.txt"));
    ZelkGlobals::ComPort = QStringLiteral("COM1");
    ZelkGlobals::SelectedUnitID = selectedUnit;
}
