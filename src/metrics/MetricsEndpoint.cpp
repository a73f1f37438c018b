#include "metrics/MetricsEndpoint.h"

#include "core/Ini.h"
#include "core/ProgramModule.h"
#include "metrics/LiveState.h"
#include "metrics/MetricsHttp.h"
#include "metrics/MetricsKeys.h"
#include "metrics/MetricsText.h"

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <algorithm>

namespace {
QPointer<QObject> g_server;
} // namespace

std::optional<MetricsEndpoint::Address> MetricsEndpoint::parse(const QString &text, QString *why)
{
    const QString t = text.trimmed();
    Address a;
    QString portText = t;
    const qsizetype colon = t.lastIndexOf(QLatin1Char(':'));
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close < 0 || colon != close + 1) {
            *why = QStringLiteral("%1: an IPv6 address is written [ADDRESS]:PORT").arg(t);
            return std::nullopt;
        }
        a.host = t.mid(1, close - 1);
        portText = t.mid(colon + 1);
    } else if (colon >= 0) {
        a.host = t.left(colon);
        portText = t.mid(colon + 1);
    }
    if (a.host.isEmpty())
        a.host = QStringLiteral("127.0.0.1");
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535) {
        *why = QStringLiteral("%1: give ADDRESS:PORT (a port from 0 to 65535)").arg(t);
        return std::nullopt;
    }
    // An IP address, not a name: the module checks it exactly (this side
    // has no network library).
    const bool ipChars = std::all_of(a.host.cbegin(), a.host.cend(), [](QChar c) {
        return c.isDigit() || c == u'.' || c == u':' ||
               (c.toLower() >= u'a' && c.toLower() <= u'f');
    });
    if (!ipChars || !(a.host.contains(u'.') || a.host.contains(u':'))) {
        *why = QStringLiteral("%1: %2 is not an IP address").arg(t, a.host);
        return std::nullopt;
    }
    a.port = quint16(port);
    return a;
}

QString MetricsEndpoint::start(const QString &address)
{
    QString why;
    const auto where = parse(address, &why);
    if (!where)
        return QStringLiteral("metrics: ") + why;
    stop();
    ProgramModule &module = ProgramModule::metricsHttp();
    const auto listen = module.entry<decltype(zelkMetricsListen)>("zelkMetricsListen");
    if (!listen)
        return QStringLiteral("metrics: ") + module.why();
    const MetricsHttp::Render render = [](const QByteArray &accept) {
        const MetricsText::Format format = MetricsText::formatFor(accept);
        return MetricsHttp::Page{MetricsText::current(format), MetricsText::contentType(format)};
    };
    g_server = listen(where->host, where->port, render, &why);
    if (!g_server)
        return QStringLiteral("metrics: cannot listen on %1: %2").arg(address.trimmed(), why);
    LiveState::process().watched = true;
    return {};
}

void MetricsEndpoint::stop()
{
    delete g_server.data();
    LiveState::process().watched = false;
}

quint16 MetricsEndpoint::port()
{
    return g_server ? quint16(g_server->property("port").toUInt()) : 0;
}

QString MetricsEndpoint::startConfigured(const QString &listenOption, const QString &benchOption,
                                         const QString &guiIniPath)
{
    // A key the file does not hold reads "N/A": not set, so metrics stay off.
    const auto setting = [&guiIniPath](const QString &key) {
        const QString value = ReadIni(MetricsKeys::Section, key, guiIniPath).trimmed();
        return value == Ini::NotAvailable ? QString() : value;
    };
    LiveState::process().bench = benchOption.isEmpty() ? setting(MetricsKeys::Bench) : benchOption;
    const QString listen = listenOption.isEmpty() ? setting(MetricsKeys::Listen) : listenOption;
    return listen.isEmpty() ? QString() : start(listen);
}
