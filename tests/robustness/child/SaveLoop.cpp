// The process the crash-safety test kills: it saves the two configurations of
// SaveLoopUnits.h in turn to one file until it dies, through the writer the
// editor's save uses. Arguments: the file, and the descriptor of a pipe on
// which it writes "R" before its first save and "S" after each saved one.
#include "../SaveLoopUnits.h"
#include "configfile/ZelkConfigFile.h"
#include "core/ZelkGlobals.h"

#include <QCoreApplication>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const int fd = std::atoi(argv[2]);
    ZelkGlobals::ConfigFileToWrite = QString::fromLocal8Bit(argv[1]);

    SaveLoopUnits variants[2];
    fillSaveLoopUnits(variants[0], 0);
    fillSaveLoopUnits(variants[1], 1);

    if (::write(fd, "R", 1) != 1)
        return 3;
    for (unsigned n = 0;; ++n) {
        const SaveLoopUnits &units = variants[n % 2];
        if (!ZelkConfigFile::WriteAllUnits([&](int u) { return &units[u - 1]; }))
            return 4;
        if (::write(fd, "S", 1) != 1)
            return 3;
    }
}
