#pragma once

#include <QLibrary>
#include <QString>

// A part of the program kept in a module of its own, opened the first time
// it is needed: the Qt libraries only it uses (serial port and network for
// the line, charts with OpenGL for the trends) then cost no start-up. The
// modules lie in ../lib/zelksoft/modules from the executable's folder, in the
// build folder as in an installation. Once opened, a module stays for the
// process.
class ProgramModule
{
public:
    // fileName inside folder(); what names it for the user ("the serial line module").
    ProgramModule(const QString &fileName, const QString &what);

    // The module's entry point of that name, or null when the module or the
    // entry cannot be had; why() then says so in the user's words.
    QFunctionPointer entry(const char *symbol);
    template<typename Function> Function *entry(const char *symbol)
    {
        return reinterpret_cast<Function *>(entry(symbol));
    }
    const QString &why() const { return m_why; }
    // The why() that a device's reply or another message carries; empty when
    // it carries none.
    static QString failureIn(const QString &text);
    static const QString MissingStart; // how every why() begins

    static const QString FolderRelative; // "../lib/zelksoft/modules"
    static QString folder();

    // The serial line and TCP gateway with the serial port list.
    static ProgramModule &line();
    // The charts of the trend window and the test-plan window.
    static ProgramModule &trendCharts();
    // The metrics endpoint's HTTP side, opened when metrics are turned on.
    static ProgramModule &metricsHttp();

private:
    QLibrary m_library;
    QString m_what;
    QString m_why;
};
