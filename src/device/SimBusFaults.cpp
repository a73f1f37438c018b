#include "device/SimBusFaults.h"

#include <cstring>

void SimBusFaults::add(const QString &method, int unitId, int module, Count count,
                       const QString &reply)
{
    m_rules.push_back({method.toLatin1(), unitId, module, count, reply});
}

int SimBusFaults::addRules(const QStringList &rules)
{
    int skipped = 0;
    for (const QString &text : rules) {
        const QStringList f = text.split(QLatin1Char(','));
        bool unitOk = false;
        bool moduleOk = false;
        const int unit = f.value(1).trimmed().toInt(&unitOk);
        const int module = f.value(2).trimmed().toInt(&moduleOk);
        const QString count = f.value(3).trimmed().toLower();
        // The reply is the rest of the line: it may hold commas of its own.
        const QString reply = f.mid(4).join(QLatin1Char(',')).trimmed();
        const bool countOk = count == QLatin1String("once") || count == QLatin1String("always");
        if (f.size() < 5 || f.at(0).trimmed().isEmpty() || !unitOk || !moduleOk || !countOk ||
            unit < 0 || unit > 32 || module < 0 || module > 5) {
            ++skipped;
            continue;
        }
        add(f.at(0).trimmed(), unit, module,
            count == QLatin1String("once") ? Count::Once : Count::Always, reply);
    }
    return skipped;
}

std::optional<QString> SimBusFaults::take(const char *method, int unitId, int module)
{
    for (auto it = m_rules.begin(); it != m_rules.end(); ++it) {
        if ((it->unitId != 0 && it->unitId != unitId) ||
            (it->module != 0 && it->module != module) ||
            std::strcmp(it->method.constData(), method) != 0)
            continue;
        const QString reply = it->reply;
        if (it->count == Count::Once)
            m_rules.erase(it);
        return reply;
    }
    return std::nullopt;
}
