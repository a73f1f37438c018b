#include "device/SimBusReport.h"

#include "core/Clock.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"

#include <QDir>

namespace SimBusReport {

void toErrorFile(const QString &applicationFolder, const QString &message)
{
    QString &path = ZelkGlobals::ErrorFilePath;
    if (!path.isEmpty()) {
        LogError(message);
        return;
    }
    path = QDir(applicationFolder).filePath(errorFileName(Seams::clock().currentDateTime().date()));
    LogError(message);
    path.clear();
}

} // namespace SimBusReport
