#pragma once

#include "TestSeams.h"
#include "device/SimulatedBus.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <string>

// A program's folder as shipped (ratings, settings, tooltips), with the demo
// bus written once unless a test brings its own.
inline void shippedFolder(const TestEnvironment &env, bool demoBus = true)
{
    for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
        env.copyShipped(QString::fromLatin1(file));
    if (demoBus)
        SimulatedBus written(env.folder());
}

// A program run to its end: its exit code (-1 when it crashed or hung) and
// what it wrote.
struct Ran
{
    int rc = -1;
    QString out, err;
};

// Waits for a started program; one that hangs is killed, what it wrote kept.
inline Ran finish(QProcess &p, int timeoutMs = 120000)
{
    Ran r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    } else if (p.exitStatus() == QProcess::NormalExit) {
        r.rc = p.exitCode();
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// A program with exactly these arguments and variables.
inline Ran
runProgram(const QString &program, const QStringList &args,
           const QProcessEnvironment &variables = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(variables);
    p.start(program, args);
    return finish(p);
}

inline std::string show(const Ran &r)
{
    return QStringLiteral("rc %1\n--- out\n%2--- err\n%3")
        .arg(r.rc)
        .arg(r.out, r.err)
        .toStdString();
}
