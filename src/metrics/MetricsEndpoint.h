#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The process's metrics endpoint: the live state served over HTTP for
// Prometheus from the metrics module, opened only when it is turned on (so
// a process without it loads no HTTP or network library).
class MetricsEndpoint
{
public:
    struct Address
    {
        QString host;
        quint16 port = 0;
    };
    // "ADDRESS:PORT", "[IPv6]:PORT", or "PORT" alone for 127.0.0.1; nothing
    // with *why set when it is none of those.
    static std::optional<Address> parse(const QString &text, QString *why);

    // Listens there and serves; empty once it does, else why not, in the
    // user's words. Turns on the reads' serial numbers (LiveState::watched).
    static QString start(const QString &address);
    static void stop();
    // The port it listens on (the one the system picked for port 0); 0 when off.
    static quint16 port();

    // What ZelkSoft serves by: its option, else ZelkGui.ini's [METRICS]
    // Listen; the bench name likewise. Sets the bench; empty when it
    // listens or was not asked to, else why it does not.
    static QString startConfigured(const QString &listenOption, const QString &benchOption,
                                   const QString &guiIniPath);
};
