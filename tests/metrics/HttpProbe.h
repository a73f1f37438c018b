#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// A port nobody listens on now, on loopback.
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// What a server answered to the raw bytes sent, whole once it closed the
// connection (or at the deadline); empty when nothing came. Events run
// meanwhile, so the server may be in this process.
inline QByteArray exchange(quint16 port, const QByteArray &bytes, int timeoutMs = 20000)
{
    QTcpSocket socket;
    QByteArray answer;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; },
                         timeoutMs))
        return {};
    socket.write(bytes);
    // Whole when closed, or when the body its Content-Length gives is in (a
    // kept connection stays open).
    const auto whole = [&] {
        const qsizetype end = answer.indexOf("\r\n\r\n");
        const qsizetype at = answer.toLower().indexOf("content-length:");
        return end >= 0 && at >= 0 && at < end &&
               answer.size() - end - 4 >=
                   answer.mid(at + 15, answer.indexOf('\r', at) - at - 15).trimmed().toLongLong();
    };
    (void)QTest::qWaitFor(
        [&] { return socket.state() == QAbstractSocket::UnconnectedState || whole(); }, timeoutMs);
    return answer + socket.readAll();
}

inline QByteArray get(quint16 port, const QByteArray &path, const QByteArray &more = {})
{
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + more +
                              "Connection: close\r\n\r\n");
}

// The body of an HTTP answer.
inline QByteArray bodyOf(const QByteArray &answer)
{
    const qsizetype at = answer.indexOf("\r\n\r\n");
    return at < 0 ? QByteArray() : answer.mid(at + 4);
}
