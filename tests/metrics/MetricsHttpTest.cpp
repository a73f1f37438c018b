// The endpoint over a real socket: what it serves, and what it refuses.
#include "metrics/MetricsHttp.h"
#include "HttpProbe.h"
#include "metrics/HttpHeadLimit.h"
#include "metrics/LiveState.h"
#include "metrics/MetricsEndpoint.h"

#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

class MetricsHttpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LiveState::process().clear();
        ASSERT_EQ(MetricsEndpoint::start("127.0.0.1:0"), QString());
        port = MetricsEndpoint::port();
        ASSERT_NE(port, 0);
    }
    void TearDown() override { MetricsEndpoint::stop(); }

    static void setVolts(double volts)
    {
        LiveState::Unit u;
        u.modules[0].present = true;
        u.modules[0].volts = volts;
        LiveState::process().answered(4, u, 1);
    }

    quint16 port = 0;
};

QByteArray status(const QByteArray &answer)
{
    return answer.mid(9, 3); // "HTTP/1.1 200 OK"
}

} // namespace

// Catches a request past a limit that reaches the HTTP library, a method or
// path served that is not GET /metrics or /, and an endpoint that stops
// serving after bad input.
TEST_F(MetricsHttpTest, BadRequestsAreRefusedAndServingGoesOn)
{
    QByteArray manyHeaders;
    for (int i = 0; i <= HttpHeadLimit::MaxHeaders; ++i)
        manyHeaders += "X-" + QByteArray::number(i) + ": 1\r\n";
    const struct
    {
        const char *what;
        QByteArray bytes;
        QByteArray status;
    } rows[] = {
        {"huge head", "GET /metrics HTTP/1.1\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n", "431"},
        {"65 headers", "GET /metrics HTTP/1.1\r\n" + manyHeaders + "\r\n", "431"},
        {"no version", "GET /metrics\r\n\r\n", "400"},
        {"binary", QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + "\r\n\r\n",
         "400"},
        {"POST", "POST /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 0\r\n\r\n", "405"},
        {"HEAD", "HEAD /metrics HTTP/1.1\r\nHost: a\r\n\r\n", "405"},
        {"other path", "GET /api HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", "404"},
        {"slow head", "GET /metrics HTTP/1.1\r\nHost: a\r\n", "408"},
        {"index", "GET / HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", "200"},
    };
    for (const auto &row : rows) {
        setVolts(12.5);
        EXPECT_EQ(status(exchange(port, row.bytes)), row.status) << row.what;
        setVolts(13.25);
        EXPECT_TRUE(bodyOf(get(port, "/metrics")).contains("} 13.25\n")) << "after " << row.what;
    }
}

// Catches connections past the limit that are taken, and a limit that
// stays used up once they are gone.
TEST_F(MetricsHttpTest, ConnectionsPastTheLimitAreClosed)
{
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < MetricsHttp::MaxConnections; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return held.back()->state() == QAbstractSocket::ConnectedState; }, 20000));
    }
    EXPECT_EQ(get(port, "/metrics"), QByteArray());
    held.clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return status(get(port, "/metrics")) == "200"; }, 20000));
}

// Catches an address in use that is not told, and one told without saying where.
TEST_F(MetricsHttpTest, AddressInUseIsTold)
{
    const QString taken = QStringLiteral("127.0.0.1:%1").arg(port);
    QTcpServer other;
    const quint16 busy = port;
    MetricsEndpoint::stop();
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, busy));
    const QString why = MetricsEndpoint::start(taken);
    EXPECT_TRUE(why.contains(taken)) << why.toStdString();
    EXPECT_EQ(MetricsEndpoint::port(), 0);
}
