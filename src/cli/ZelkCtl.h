#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>

// zelkctl: the configuration engine and the unit's live controls from a
// terminal, on the same libraries, settings files and bus as the program.
// Results go to standard output, progress and problems to standard error.
namespace ZelkCtl {

// Exit codes. Where several apply in one run, the first of DeviceError,
// Refused, VerifyDiffers wins.
enum Exit { Done = 0, Usage = 1, DeviceError = 2, VerifyDiffers = 3, Refused = 4 };

// The command line split into the command's words and its options.
struct Arguments
{
    QString command;
    QStringList words; // after the command
    QHash<QString, QString> values;
    QSet<QString> flags;
    QString error;

    bool has(const QString &flag) const { return flags.contains(flag); }
    QString value(const QString &option) const { return values.value(option); }
};

struct Console
{
    QTextStream &out;
    QTextStream &err;
    // Progress is for a person watching: a script's standard error keeps
    // only the problems.
    bool showProgress = false;
    void progress(const QString &line)
    {
        if (showProgress)
            err << line << Qt::endl;
    }
};

Arguments parse(const QStringList &tokens);
// The help of the tool, or of one command.
QString help(const QString &command = {});
// A unit ID 1..32 as typed; nothing for anything else.
std::optional<int> unitNumber(const QString &text);

// Of two exit codes, the one a run ends with: 2 before 4 before 3.
int worst(int a, int b);

// The whole run; arguments as the process got them (the program first).
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace ZelkCtl
