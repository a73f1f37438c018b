#include "monitor/LogFailureNotice.h"

#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "monitor/StatusLogFile.h"

void LogFailureNotice::afterWrite(bool ok, const StatusLogFile &file, const QString &path)
{
    const qint64 dropped = file.droppedRecords();
    if (ok) {
        m_failureShown = false;
        m_droppedAtStreak = m_droppedTold = dropped;
        return;
    }
    if (!m_failureShown) {
        m_failureShown = true;
        m_droppedAtStreak = m_droppedTold = dropped;
        Seams::dialogs().Notice(
            QStringLiteral("The %1 could not be written to ").arg(m_name) + path +
                QStringLiteral(": ") + file.errorString() + QStringLiteral(".\r\n") +
                QStringLiteral("Monitoring goes on; the records wait and are written as soon as "
                               "the file can be written again."),
            MsgIcon::Exclamation, ZelkGlobals::AppTitle);
    } else if (dropped > m_droppedTold && m_droppedTold == m_droppedAtStreak) {
        // Told once more in a streak: when the first records are lost for good.
        m_droppedTold = dropped;
        Seams::dialogs().Notice(
            QStringLiteral("The %1 still cannot be written to ").arg(m_name) + path +
                QStringLiteral(": ") + file.errorString() + QStringLiteral(".\r\n") +
                QStringLiteral("Only the last %1 records can wait; older ones are being lost "
                               "(%2 so far).")
                    .arg(StatusLogFile::MaxWaiting)
                    .arg(dropped),
            MsgIcon::Exclamation, ZelkGlobals::AppTitle);
    }
}
