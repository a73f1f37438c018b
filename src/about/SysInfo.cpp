#include "about/SysInfo.h"

#include "core/DesktopServices.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"

void StartSysInfo()
{
    const QString program = Seams::desktop().systemInfoProgram();
    if (!program.isEmpty() &&
        Seams::desktop().runDetached(QLatin1Char('"') + program + QLatin1Char('"')))
        return;
    Seams::dialogs().MsgBox(QStringLiteral("System Information Is Unavailable At This Time"),
                            MsgButtons::OK, MsgIcon::None, ZelkGlobals::AppTitle);
}

QString registryNumberText(const QByteArray &fourBytes)
{
    // Each byte padded to two digits: unpadded, 0x0102 would read as 0x12.
    QString hex;
    for (qsizetype i = fourBytes.size() - 1; i >= 0; --i)
        hex += QStringLiteral("%1").arg(quint8(fourBytes.at(i)), 2, 16, QLatin1Char('0'));
    bool ok = false;
    const quint64 value = hex.toULongLong(&ok, 16);
    return ok ? QString::number(value) : QString();
}
