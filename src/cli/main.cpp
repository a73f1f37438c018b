#include "cli/ZelkCtl.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelkctl"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return ZelkCtl::run(QCoreApplication::arguments(), out, err);
}
