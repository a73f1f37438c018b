#pragma once

#include <QString>

namespace SimBusReport {
// Appends a line to the error file. The device object is made before start-up
// has named the error file, so until then the line goes to the file start-up
// will name: the one for today in the application folder.
void toErrorFile(const QString &applicationFolder, const QString &message);
} // namespace SimBusReport
