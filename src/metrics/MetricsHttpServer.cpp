// The metrics module: Qt HTTP Server behind a listener of our own that keeps
// requests to the endpoint's limits, which the library itself cannot do.
#include "metrics/HttpHeadLimit.h"
#include "metrics/MetricsHttp.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// A connection whose request heads are counted as they come, before the
// HTTP library reads them (its handler is connected after ours): past a
// limit it answers 431 or 400 itself and closes, and a head not complete in
// time gets 408. The library takes every byte in its own handler, so what
// is left unread here is always the newest.
class HeadLimitSocket final : public QTcpSocket
{
public:
    explicit HeadLimitSocket(QObject *parent)
        : QTcpSocket(parent)
    {
        connect(this, &QTcpSocket::readyRead, this, &HeadLimitSocket::inspect);
        m_timer.setSingleShot(true);
        m_timer.setInterval(MetricsHttp::RequestMs);
        connect(&m_timer, &QTimer::timeout, this, &HeadLimitSocket::expired);
        m_timer.start();
    }

private:
    void inspect()
    {
        if (m_refused) {
            readAll();
            return;
        }
        switch (m_limit.feed(peek(bytesAvailable()))) {
        case HttpHeadLimit::Verdict::Reading:
            break;
        case HttpHeadLimit::Verdict::Complete:
            m_timer.start(); // the next request has its own time
            break;
        case HttpHeadLimit::Verdict::TooLarge:
        case HttpHeadLimit::Verdict::TooManyHeaders:
            refuse("431 Request Header Fields Too Large");
            break;
        case HttpHeadLimit::Verdict::Malformed:
            refuse("400 Bad Request");
            break;
        }
    }
    void expired()
    {
        if (m_limit.started())
            refuse("408 Request Timeout");
        else
            disconnectFromHost(); // an idle kept connection
    }
    void refuse(const char *status)
    {
        m_refused = true;
        m_timer.stop();
        readAll(); // the library never sees the refused request
        write(QByteArray("HTTP/1.1 ") + status +
              "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        disconnectFromHost();
        // One that does not read its answer is not waited for.
        QTimer::singleShot(MetricsHttp::RequestMs, this, [this] { abort(); });
    }

    HttpHeadLimit m_limit;
    QTimer m_timer;
    bool m_refused = false;
};

// Listens on the one address it was given and hands the HTTP library only
// connections that keep the limits; past MaxConnections a new one is closed.
class LimitedTcpServer final : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (m_open >= MetricsHttp::MaxConnections) {
            QTcpSocket refused;
            refused.setSocketDescriptor(descriptor);
            refused.abort();
            return;
        }
        auto *socket = new HeadLimitSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        addPendingConnection(socket);
    }

private:
    int m_open = 0;
};

const char *const IndexPage =
    "<!DOCTYPE html>\n<html><head><title>ZelkSoft metrics</title></head>\n"
    "<body><h1>ZelkSoft</h1><p>The units' live state for Prometheus: "
    "<a href=\"/metrics\">/metrics</a></p></body></html>\n";

QHttpServerResponse onlyGet()
{
    QHttpServerResponse r(QHttpServerResponder::StatusCode::MethodNotAllowed);
    r.addHeader(QByteArrayLiteral("Allow"), QByteArrayLiteral("GET"));
    return r;
}

} // namespace

extern "C" Q_DECL_EXPORT QObject *zelkMetricsListen(const QString &address, quint16 port,
                                                    const MetricsHttp::Render &render,
                                                    QString *error)
{
    QHostAddress host;
    if (!host.setAddress(address)) {
        *error = QStringLiteral("%1 is not an IP address").arg(address);
        return nullptr;
    }
    auto *http = new QHttpServer;
    auto *listener = new LimitedTcpServer(http);
    if (!listener->listen(host, port)) {
        *error = listener->errorString();
        delete http;
        return nullptr;
    }
    http->setProperty("port", listener->serverPort());
    using Method = QHttpServerRequest::Method;
    http->route(QStringLiteral("/metrics"), [render](const QHttpServerRequest &request) {
        if (request.method() != Method::Get)
            return onlyGet();
        MetricsHttp::Page page = render(request.value(QByteArrayLiteral("Accept")));
        return QHttpServerResponse(std::move(page.contentType), std::move(page.body));
    });
    http->route(QStringLiteral("/"), [](const QHttpServerRequest &request) {
        if (request.method() != Method::Get)
            return onlyGet();
        return QHttpServerResponse(QByteArrayLiteral("text/html; charset=utf-8"),
                                   QByteArray(IndexPage));
    });
    http->bind(listener);
    return http;
}
