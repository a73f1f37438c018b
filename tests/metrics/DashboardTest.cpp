// The Grafana dashboard shipped for benches asks only for series we serve.
#include "metrics/LiveState.h"
#include "metrics/MetricsText.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

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

} // namespace

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
    LiveState state;
    LiveState::Unit u;
    u.hours = 1;
    u.modules[0] = {true, "T", "S", 1, 1, 1, 0.5, 1.5, true, true};
    state.answered(1, u, 1);
    const QString text =
        QString::fromUtf8(MetricsText::render(state, {}, MetricsText::Format::Prometheus));
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
