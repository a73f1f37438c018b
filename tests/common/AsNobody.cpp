#include "AsNobody.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

QString failureAsNobody(const QString &folder, const QString &testName,
                        const QProcessEnvironment &variables)
{
    const QString program = QDir(folder).filePath(AsNobodyProgram);
    if (!QFile::exists(program) && !QFile::copy(QCoreApplication::applicationFilePath(), program))
        return QStringLiteral("could not copy the test program to ") + program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(variables);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                 QStringLiteral("--clear-groups"), program,
                 QStringLiteral("--gtest_filter=") + testName});
    if (!child.waitForFinished(100000))
        return QStringLiteral("no end as nobody: ") + QString::fromLocal8Bit(child.readAll());
    const QString output = QString::fromLocal8Bit(child.readAll());
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                        output.contains(QStringLiteral("[       OK ] ") + testName);
    return passed ? QString() : output;
}
