#pragma once

#include <QProcess>
#include <QString>

// The shipped program, as the build leaves it beside its data files, or the
// one ZELK_SMOKE_PROGRAM names.
QString shippedProgram();

// Copies the shipped data files (data/, help topics included) into folder, as
// an installer would leave them.
[[nodiscard]] bool copyShippedData(const QString &folder);

// A child process of the test: ended and reaped however the test ends, and
// killed by the kernel should the test process die first.
class ChildProcess : public QProcess
{
public:
    ChildProcess();
    ~ChildProcess() override { stop(); }

    // Ends the child if it still runs and waits for it to go.
    void stop();
    // Everything the child wrote so far.
    QByteArray standardOutput() { return m_out += readAllStandardOutput(); }
    QByteArray standardError() { return m_err += readAllStandardError(); }
    // Both, for a failure's message.
    QString transcript();

private:
    QByteArray m_out, m_err;
};
