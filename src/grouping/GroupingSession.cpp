#include "grouping/GroupingSession.h"

#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"

#include <QCoreApplication>

namespace {
ZelkDevice &device()
{
    return *ZelkGlobals::Device;
}

const QString &unit()
{
    return ZelkGlobals::SelectedUnitID;
}
} // namespace

GroupingSession::GroupingSession(QObject *parent)
    : QObject(parent)
{}

bool GroupingSession::openPort()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QString reply = device().OpenPort(ZelkGlobals::ComPort);
    if (IsCmdOk(reply))
        return true;
    reportPortNotOpened(reply);
    device().ClosePort();
    return false;
}

void GroupingSession::closePort()
{
    device().ClosePort();
}

bool GroupingSession::unitResponds()
{
    StatusArray modules;
    return IsCmdOk(device().GetPresentModules(unit(), modules));
}

void GroupingSession::readGroupIds()
{
    m_groupIds.fill(0);
    for (int m = 1; m <= GroupLists::ModuleCount; ++m) {
        if (!GroupLists::isPresent(ZelkGlobals::PresentModulesText, m))
            continue;
        qint16 group = 0;
        const QString reply = device().GetGroupID(unit(), static_cast<qint16>(m), group);
        if (IsCmdOk(reply)) {
            m_groupIds[static_cast<size_t>(m - 1)] = group;
            continue;
        }
        const QString module = QString::number(m);
        LogError(
            QStringLiteral("Error in GetGroupID in Unit  %1 and Module %2").arg(unit(), module));
        ZelkGlobals::LastError = QStringLiteral("Error in GetGroupID in Unit %1 and Module %2 %3")
                                     .arg(unit(), module, reply);
    }
}

GroupingSession::Startup GroupingSession::readStartup(qint16 module)
{
    Startup startup;
    qint16 state = 0;
    device().GetDefaultOutputOnOffState(unit(), module, state);
    startup.normallyOn = state == 1;
    if (startup.normallyOn)
        device().GetOutputTurnONDelayExUShort(unit(), module, startup.delayMs);
    return startup;
}

void GroupingSession::write(const std::vector<GroupLists::Write> &plan)
{
    for (const GroupLists::Write &w : plan) {
        switch (w.kind) {
        case GroupLists::WriteKind::SetGroupID:
            device().SetGroupID(unit(), w.module, static_cast<qint16>(w.value));
            break;
        case GroupLists::WriteKind::SetDefaultOutputOnOffState:
            device().SetDefaultOutputOnOffState(unit(), w.module, static_cast<qint16>(w.value));
            break;
        case GroupLists::WriteKind::SetOutputTurnONDelay:
            device().SetOutputTurnONDelay(unit(), w.module, w.value);
            break;
        }
    }
}
