// The metrics text and the request limits, without a socket.
#include "metrics/MetricsText.h"
#include "metrics/HttpHeadLimit.h"
#include "metrics/LiveState.h"
#include "metrics/MetricsEndpoint.h"

#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>

namespace {

using Format = MetricsText::Format;

LiveState twoUnits()
{
    LiveState s;
    s.bench = QStringLiteral("bench \"A\"\\1");
    LiveState::Unit u;
    u.serial = QStringLiteral("ZX5-1");
    u.overTemp = true;
    u.hours = 2;
    u.modules[0] = {true, "ZM 12V/30A", "ZM2-7", 12.01, 1.5, 12.0, 11.4, 12.6, true, true};
    s.answered(1, u, 1700000000.5);
    s.answered(2, u, 1700000000.5);
    s.silent(2);
    s.pollTook(0.25);
    return s;
}

} // namespace

// Catches stale readings of a silent unit, a missing up series, and labels
// that break the format.
TEST(MetricsText, SilentUnitIsDownWithNoReadings)
{
    const QByteArray text = MetricsText::render(twoUnits(), {7, 1, 2, 3}, Format::Prometheus);
    const QByteArray unit1 = R"(bench="bench \"A\"\\1",unit="1",unit_serial="ZX5-1")";
    const QByteArray unit2 = R"(bench="bench \"A\"\\1",unit="2",unit_serial="ZX5-1")";
    for (const QByteArray &line : QList<QByteArray>{
             "zelk_unit_up{" + unit1 + "} 1\n", "zelk_unit_up{" + unit2 + "} 0\n",
             "zelk_unit_last_answer_timestamp_seconds{" + unit2 + "} 1700000000.5\n",
             "zelk_module_voltage_volts{" + unit1 +
                 R"(,module="1",module_type="ZM 12V/30A",module_serial="ZM2-7"} 12.01)" + "\n",
             "zelk_unit_alarm{" + unit1 + ",alarm=\"over_temperature\"} 1\n",
             "zelk_unit_operating_seconds_total{" + unit1 + "} 7200\n",
             "zelk_line_frames_total{bench=\"bench \\\"A\\\"\\\\1\",result=\"late\"} 3\n",
             "zelk_line_silent_units{bench=\"bench \\\"A\\\"\\\\1\"} 1\n",
             QByteArray("# TYPE zelk_line_frames_total counter\n")})
        EXPECT_TRUE(text.contains(line)) << line.constData() << "\n" << text.constData();
    EXPECT_EQ(text.count("unit=\"2\""), 2) << "up and the time of the last answer only";
    EXPECT_FALSE(text.contains("# EOF"));
}

// Catches OpenMetrics output without its end, units or counter naming.
TEST(MetricsText, OpenMetricsWhenAsked)
{
    const QByteArray text = MetricsText::render(twoUnits(), {}, Format::OpenMetrics);
    EXPECT_TRUE(text.endsWith("# EOF\n"));
    EXPECT_TRUE(text.contains("# TYPE zelk_line_frames counter\n"));
    EXPECT_TRUE(text.contains("# UNIT zelk_module_voltage_volts volts\n"));
    EXPECT_TRUE(text.contains("zelk_line_frames_total{"));
    const struct
    {
        QByteArray accept;
        Format format;
    } rows[] = {
        {"", Format::Prometheus},
        {"text/plain;version=0.0.4", Format::Prometheus},
        {"application/openmetrics-text;version=1.0.0,text/plain;q=0.5", Format::OpenMetrics}};
    for (const auto &row : rows)
        EXPECT_EQ(MetricsText::formatFor(row.accept), row.format) << row.accept.constData();
}

// Catches an address taken wrongly, above all one that would listen on
// every address when the user gave none.
TEST(MetricsEndpoint, AddressForms)
{
    const struct
    {
        QString text;
        QString host; // empty: refused
        quint16 port;
    } rows[] = {{"9464", "127.0.0.1", 9464},   {":9464", "127.0.0.1", 9464},
                {"0.0.0.0:80", "0.0.0.0", 80}, {"[::1]:9464", "::1", 9464},
                {"127.0.0.1:65536", "", 0},    {"localhost:9464", "", 0},
                {"127.0.0.1:", "", 0},         {"[::1:9464", "", 0}};
    for (const auto &row : rows) {
        QString why;
        const auto a = MetricsEndpoint::parse(row.text, &why);
        EXPECT_EQ(a.has_value(), !row.host.isEmpty()) << row.text.toStdString();
        if (a) {
            EXPECT_EQ(a->host, row.host) << row.text.toStdString();
            EXPECT_EQ(a->port, row.port) << row.text.toStdString();
        } else {
            EXPECT_FALSE(why.isEmpty());
        }
    }
}

// Catches heads let through past a limit, and good ones refused.
TEST(HttpHeadLimit, Verdicts)
{
    using V = HttpHeadLimit::Verdict;
    QByteArray manyHeaders = "GET / HTTP/1.1\r\n";
    for (int i = 0; i <= HttpHeadLimit::MaxHeaders; ++i)
        manyHeaders += "X-" + QByteArray::number(i) + ": 1\r\n";
    const struct
    {
        QByteArray bytes;
        V verdict;
    } rows[] = {
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", V::Complete},
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n\r\nGET / HTTP/1.0\r\n\r\n", V::Complete},
        {"\r\nGET / HTTP/1.1\n\n", V::Complete},
        {"GET /metrics HTTP/1.1\r\nHost", V::Reading},
        {"GET /metrics HTTP/1.1\r\nX: " + QByteArray(HttpHeadLimit::MaxBytes, 'a'), V::TooLarge},
        {manyHeaders + "\r\n", V::TooManyHeaders},
        {"GET /metrics\r\n\r\n", V::Malformed},
        {"GET  /metrics HTTP/1.1\r\n\r\n", V::Malformed},
        {"G(T / HTTP/1.1\r\n\r\n", V::Malformed},
        {"GET / HTTP/2.0\r\n\r\n", V::Malformed},
        {"GET / HTTP/1.1\r\nno colon\r\n\r\n", V::Malformed},
        {"GET / HTTP/1.1\r\n folded: x\r\n\r\n", V::Malformed},
        {QByteArray("GET / HTTP/1.1\r\nA: \0\r\n\r\n", 25), V::Malformed},
    };
    for (const auto &row : rows) {
        HttpHeadLimit whole, byteWise;
        EXPECT_EQ(whole.feed(row.bytes), row.verdict) << row.bytes.left(60).constData();
        V last = V::Complete;
        for (const char c : row.bytes)
            last = byteWise.feed(&c, 1);
        EXPECT_EQ(last, row.verdict) << "byte by byte: " << row.bytes.left(60).constData();
    }
}
