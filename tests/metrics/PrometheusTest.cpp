// A real Prometheus scraping zelkctl monitor polling the unit emulator on a
// pseudo-terminal: what it stores is what the emulator's units say.
#include "HttpProbe.h"
#include "TestSeams.h"
#include "UnitSimProcess.h"
#include "core/IniFile.h"
#include "device/SimulatedBus.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <optional>

namespace {

const QString Prometheus = QStringLiteral("/usr/bin/prometheus");
const QString Promtool = QStringLiteral("/usr/bin/promtool");

class PrometheusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
            env.copyShipped(QString::fromLatin1(file));
        {
            SimulatedBus made(env.folder());
        }
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

} // namespace

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
    ASSERT_TRUE(promtool.waitForFinished(60000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardOutput().constData()
                                      << promtool.readAllStandardError().constData();

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
