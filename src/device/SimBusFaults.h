#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Injected failures: a device method that answers with a given reply instead
// of doing its work, for one unit or all, one module or all, once or always.
class SimBusFaults
{
public:
    enum class Count { Once, Always };

    // unitId or module 0 stands for any.
    void add(const QString &method, int unitId, int module, Count count, const QString &reply);
    // Rules as simbus.ini writes them: "method, unit, module, once|always, reply".
    // Malformed rules are skipped; the count of skipped rules comes back.
    int addRules(const QStringList &rules);
    void clear() { m_rules.clear(); }
    bool empty() const { return m_rules.empty(); }

    // The reply a call must give instead of its own, if a rule matches. A
    // once-rule is used up by the call it fails.
    std::optional<QString> take(const char *method, int unitId, int module);

private:
    struct Rule
    {
        QByteArray method;
        int unitId;
        int module;
        Count count;
        QString reply;
    };
    std::vector<Rule> m_rules;
};
