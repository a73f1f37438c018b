#include "SimBusReport.h"

#include "Clock.h"
#include "Seams.h"
#include "ZelkGlobals.h"
#include "ZelkRoutines.h"

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
