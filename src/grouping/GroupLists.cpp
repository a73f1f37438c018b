#include "grouping/GroupLists.h"

namespace {
const QString ModulePrefix = QStringLiteral("Module ");
} // namespace

QString GroupLists::moduleText(int module)
{
    return ModulePrefix + QString::number(module);
}

qint16 GroupLists::ModuleNumberFromText(const QString &text)
{
    for (int m = 1; m <= ModuleCount; ++m) {
        if (text == moduleText(m))
            return static_cast<qint16>(m);
    }
    return 0;
}

bool GroupLists::isPresent(const QString &presentModulesText, int module)
{
    return module >= 1 && module <= presentModulesText.size() &&
           presentModulesText.at(module - 1) == QLatin1Char('1');
}

GroupLists::Lists GroupLists::fill(const QString &presentModulesText, const GroupIds &ids,
                                   qint16 currentGroup)
{
    Lists lists;
    for (int m = 1; m <= ModuleCount; ++m) {
        if (!isPresent(presentModulesText, m))
            continue;
        const qint16 id = ids[static_cast<size_t>(m - 1)];
        if (id == currentGroup)
            lists.group << moduleText(m);
        else if (id != 0)
            lists.available << moduleText(m);
    }
    return lists;
}

qint16 GroupLists::groupFromSelectorText(const QString &text)
{
    if (text == QLatin1String("Group 1 (Ungrouped)"))
        return 1;
    if (text == QLatin1String("Group 2"))
        return 2;
    if (text == QLatin1String("Group 3"))
        return 3;
    return 0;
}

QString GroupLists::groupListCaption(qint16 group)
{
    return QStringLiteral("Group%1 Modules").arg(group);
}

std::optional<qint32> GroupLists::startupDelay(bool normallyOn, const QString &delayText)
{
    const QString text = delayText.trimmed();
    if (!normallyOn || text.isEmpty())
        return 0;
    // Digits only: a pasted sign, separator or letter is not a delay.
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value > MaxStartupDelayMs)
        return std::nullopt;
    return static_cast<qint32>(value);
}

std::vector<GroupLists::Write> GroupLists::applyPlan(const QStringList &groupItems, qint16 group,
                                                     qint16 state, qint32 delayMs)
{
    std::vector<Write> plan;
    for (const QString &item : groupItems) {
        const qint16 m = ModuleNumberFromText(item);
        if (m == 0)
            continue; // never address a module position that does not exist
        plan.push_back({WriteKind::SetGroupID, m, group});
        if (group != 1) {
            plan.push_back({WriteKind::SetDefaultOutputOnOffState, m, state});
            plan.push_back({WriteKind::SetOutputTurnONDelay, m, delayMs});
        }
    }
    return plan;
}
