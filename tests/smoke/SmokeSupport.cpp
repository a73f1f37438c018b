#include "SmokeSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <csignal>
#include <sys/prctl.h>

QString shippedProgram()
{
    // The package test runs the same checks against the program it unpacked.
    const QString unpacked = qEnvironmentVariable("ZELK_SMOKE_PROGRAM");
    return unpacked.isEmpty() ? QStringLiteral(ZELK_PROGRAM) : unpacked;
}

bool copyShippedData(const QString &folder)
{
    const QDir from(QStringLiteral(ZELK_SHIPPED_DATA_DIR));
    QDirIterator it(from.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = QDir(folder).filePath(from.relativeFilePath(source));
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(source, target))
            return false;
    }
    return true;
}

ChildProcess::ChildProcess()
{
    setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void ChildProcess::stop()
{
    if (state() == QProcess::NotRunning)
        return;
    // Asked first, so that a display server takes its socket away with it.
    terminate();
    if (waitForFinished(3000))
        return;
    kill();
    waitForFinished(5000);
}

QString ChildProcess::transcript()
{
    return QStringLiteral("stdout: [%1]\nstderr: [%2]")
        .arg(QString::fromLocal8Bit(standardOutput()), QString::fromLocal8Bit(standardError()));
}
