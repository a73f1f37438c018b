#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

// The metrics endpoint's HTTP side, in the metrics module (metrics-http.so,
// src/metrics/MetricsHttpServer.cpp, with Qt HTTP Server and Qt Network):
// GET /metrics and a small page at /, nothing else, on one address.
namespace MetricsHttp {
// What /metrics answers: the body and its content type for the request's
// Accept header.
struct Page
{
    QByteArray body;
    QByteArray contentType;
};
using Render = std::function<Page(const QByteArray &accept)>;

// Limits on what a client may send or hold.
constexpr int MaxConnections = 16;
constexpr int RequestMs = 5000; // a request's head complete within this
} // namespace MetricsHttp

// The module's entry point: an endpoint listening on address:port (port 0:
// one the system picks) that answers with render; null with *error saying
// why it cannot listen. The caller deletes it to stop; listeningPort() is
// its "port" property.
extern "C" Q_DECL_EXPORT QObject *zelkMetricsListen(const QString &address, quint16 port,
                                                    const MetricsHttp::Render &render,
                                                    QString *error);
