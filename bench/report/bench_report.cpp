// Prints every benchmark figure against its target, from the JSON files the
// benchmark command wrote into one folder (<executable>[.part].json). Ends with
// 1 when a figure misses its target or could not be taken.
#include "BenchReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_report RESULTS-FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    BenchReport::Results results;
    bool readable = true;
    for (const QFileInfo &file : folder.entryInfoList({QStringLiteral("*.json")}, QDir::Files)) {
        QFile in(file.filePath());
        QString error;
        if (!in.open(QIODevice::ReadOnly) || !results.add(file.baseName(), in.readAll(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error.isEmpty() ? file.filePath() : error));
            readable = false;
        }
    }
    const QList<BenchReport::Row> rows =
        BenchReport::evaluate(BenchReport::projectFigures(), results);
    std::fputs(BenchReport::formatTable(rows).toUtf8().constData(), stdout);
    const bool met = BenchReport::allMet(rows) && readable;
    std::printf("%s\n", met ? "Every figure meets its target." : "Some figures miss their target.");
    return met ? 0 : 1;
}
