// The metrics text and the request limits, without a socket; the endpoint
// over a real socket: what it serves, and what it refuses; and the Grafana
// dashboard shipped for benches, which asks only for series we serve; and a
// real Prometheus scraping zelkctl monitor polling the unit emulator on a
// pseudo-terminal: what it stores is what the emulator's units say.
#include "../cli/ProgramRun.h"
#include "TestSeams.h"
#include "UnitSimProcess.h"
#include "core/IniFile.h"
#include "metrics/HttpHeadLimit.h"
#include "metrics/LiveState.h"
#include "metrics/MetricsEndpoint.h"
#include "metrics/MetricsHttp.h"
#include "metrics/MetricsText.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace {

// A port nobody listens on now, on loopback.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// What a server answered to the raw bytes sent, whole once it closed the
// connection (or at the deadline); empty when nothing came. Events run
// meanwhile, so the server may be in this process.
QByteArray exchange(quint16 port, const QByteArray &bytes, int timeoutMs = 20000)
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

QByteArray get(quint16 port, const QByteArray &path, const QByteArray &more = {})
{
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + more +
                              "Connection: close\r\n\r\n");
}

// The body of an HTTP answer.
QByteArray bodyOf(const QByteArray &answer)
{
    const qsizetype at = answer.indexOf("\r\n\r\n");
    return at < 0 ? QByteArray() : answer.mid(at + 4);
}

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

// Catches stale readings of a silent unit, a missing up series, labels that
// break the format, and OpenMetrics output without its end, units or counter
// naming, or not chosen when asked for.
TEST(MetricsText, SilentUnitIsDownWithNoReadingsAndOpenMetricsWhenAsked)
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

    const QByteArray open = MetricsText::render(twoUnits(), {}, Format::OpenMetrics);
    EXPECT_TRUE(open.endsWith("# EOF\n"));
    for (const char *line : {"# TYPE zelk_line_frames counter\n",
                             "# UNIT zelk_module_voltage_volts volts\n", "zelk_line_frames_total{"})
        EXPECT_TRUE(open.contains(line)) << line;
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

// Catches connections past the limit that are taken, a limit that stays used
// up once they are gone, and an address in use that is not told, or told
// without saying where.
TEST_F(MetricsHttpTest, ConnectionsPastTheLimitAreClosedAndAnAddressInUseIsTold)
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

    const QString taken = QStringLiteral("127.0.0.1:%1").arg(port);
    QTcpServer other;
    MetricsEndpoint::stop();
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, port));
    const QString why = MetricsEndpoint::start(taken);
    EXPECT_TRUE(why.contains(taken)) << why.toStdString();
    EXPECT_EQ(MetricsEndpoint::port(), 0);
}

void collectQueries(const QJsonValue &v, QStringList &into)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if ((it.key() == "expr" || it.key() == "query") && it->isString())
                into << it->toString();
            else
                collectQueries(*it, into);
        }
    } else if (v.isArray()) {
        for (const QJsonValue item : v.toArray())
            collectQueries(item, into);
    }
}

// Catches a panel or variable that asks for a metric we do not serve (a
// renamed one), which Grafana shows as an empty panel without complaint.
TEST(Dashboard, QueriesUseServedMetrics)
{
    QFile file(QStringLiteral(ZELK_DASHBOARD));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    QStringList queries;
    collectQueries(doc.object(), queries);
    ASSERT_GE(queries.size(), 5);

    // Every family, with a unit up and one down.
    const QString text = QString::fromUtf8(MetricsText::render(twoUnits(), {}, Format::Prometheus));
    QSet<QString> served;
    const QRegularExpression sample(QStringLiteral("^(zelk_[a-z_]+)[{ ]"),
                                    QRegularExpression::MultilineOption);
    for (auto it = sample.globalMatch(text); it.hasNext();)
        served << it.next().captured(1);

    const QRegularExpression used(QStringLiteral("\\bzelk_[a-z_]+"));
    int names = 0;
    for (const QString &q : queries) {
        for (auto it = used.globalMatch(q); it.hasNext(); ++names) {
            const QString name = it.next().captured(0);
            EXPECT_TRUE(served.contains(name)) << name.toStdString() << " in " << q.toStdString();
        }
    }
    EXPECT_GT(names, 0);
}

const QString Prometheus = QStringLiteral("/usr/bin/prometheus");
const QString Promtool = QStringLiteral("/usr/bin/promtool");

class PrometheusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shippedFolder(env);
        ASSERT_TRUE(IniFile::writeString(env.path("simbus.ini"), "Bus", "WireModel", "0"));
        ASSERT_TRUE(unitsim.startScratchLine(env, 1, {"--commands", "--load", "3:1:2.5"}))
            << unitsim.errors().toStdString();
    }
    void TearDown() override
    {
        for (QProcess *p : {&prometheus, &zelkctl}) {
            p->kill();
            p->waitForFinished(10000);
        }
    }

    // The instant query's samples, label set -> value, once Prometheus
    // answers; nothing when it does not.
    std::optional<QMap<QString, double>> query(const QString &promql)
    {
        const QByteArray answer =
            get(webPort, "/api/v1/query?query=" + QUrl::toPercentEncoding(promql));
        const QJsonObject doc = QJsonDocument::fromJson(bodyOf(answer)).object();
        if (doc["status"].toString() != "success")
            return std::nullopt;
        QMap<QString, double> samples;
        for (const QJsonValue r : doc["data"]["result"].toArray()) {
            const QJsonObject labels = r["metric"].toObject();
            samples.insert(labels["unit"].toString() + '/' + labels["module"].toString(),
                           r["value"].toArray().at(1).toString().toDouble());
        }
        return samples;
    }
    // Waits until the query gives exactly these samples.
    bool queryReaches(const QString &promql, const QMap<QString, double> &want)
    {
        std::optional<QMap<QString, double>> last;
        const bool reached = QTest::qWaitFor(
            [&] {
                last = query(promql);
                return last == want;
            },
            90000);
        if (!reached)
            ADD_FAILURE() << promql.toStdString() << ": "
                          << (last ? QStringList(last->keys()).join(' ').toStdString()
                                   : "no answer");
        return reached;
    }

    TestEnvironment env;
    UnitSimProcess unitsim;
    QProcess prometheus, zelkctl;
    quint16 webPort = 0;
};

// Catches series Prometheus cannot take, readings that differ from the
// units', and a silent unit that keeps its last readings.
TEST_F(PrometheusTest, StoresWhatTheUnitsSayAndDropsASilentOnesReadings)
{
    ASSERT_TRUE(QFile::exists(Prometheus)) << "scripts/setup.sh installs prometheus";
    const quint16 metricsPort = freePort();
    zelkctl.start(QStringLiteral(ZELK_CTL),
                  {"--app-dir", env.folder(), "--bus", "serial", "--port", "COM1", "monitor", "1",
                   "3", "--interval", "0.3", "--log", env.path("log.csv"), "--metrics",
                   QStringLiteral("127.0.0.1:%1").arg(metricsPort), "--bench", "lab-a"});
    QByteArray page;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            page = bodyOf(get(metricsPort, "/metrics"));
            return page.contains("zelk_module_voltage_volts{") && page.contains("unit=\"3\"");
        },
        60000))
        << zelkctl.readAllStandardError().constData();

    QProcess promtool;
    promtool.start(Promtool, {"check", "metrics"});
    promtool.write(page);
    promtool.closeWriteChannel();
    const Ran checked = finish(promtool, 60000);
    EXPECT_EQ(checked.rc, 0) << show(checked);

    webPort = freePort();
    env.writeFile("prometheus.yml", QStringLiteral("global:\n  scrape_interval: 1s\n"
                                                   "scrape_configs:\n  - job_name: zelk\n"
                                                   "    static_configs:\n"
                                                   "      - targets: ['127.0.0.1:%1']\n")
                                        .arg(metricsPort)
                                        .toUtf8());
    prometheus.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.start(Prometheus, {"--config.file=" + env.path("prometheus.yml"),
                                  "--storage.tsdb.path=" + env.path("tsdb"),
                                  QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(webPort),
                                  "--log.level=warn"});
    ASSERT_TRUE(prometheus.waitForStarted(20000));

    // The demo bus's units 1 (five modules) and 3 (modules 1 and 3), every
    // output on: each module at its set-point, unit 3's module 1 at its load.
    EXPECT_TRUE(queryReaches("zelk_unit_up{bench=\"lab-a\"}", {{"1/", 1}, {"3/", 1}}));
    EXPECT_TRUE(
        queryReaches("zelk_module_voltage_volts{unit=\"3\"}", {{"3/1", 5.2}, {"3/3", 150}}));
    EXPECT_TRUE(
        queryReaches("zelk_module_current_amperes{unit=\"3\",module=\"1\"}", {{"3/1", 2.5}}));
    EXPECT_TRUE(queryReaches("count(zelk_module_voltage_volts{unit=\"1\"} == "
                             "zelk_module_setpoint_volts{unit=\"1\"})",
                             {{"/", 5}}));

    ASSERT_TRUE(unitsim.command("silent 3"));
    EXPECT_TRUE(queryReaches("zelk_unit_up", {{"1/", 1}, {"3/", 0}}));
    EXPECT_TRUE(queryReaches("zelk_module_voltage_volts{unit=\"3\"}", {}));
    EXPECT_TRUE(queryReaches("count(zelk_module_voltage_volts)", {{"/", 5}}));
    EXPECT_EQ(zelkctl.state(), QProcess::Running) << "polling goes on";
}

} // namespace
