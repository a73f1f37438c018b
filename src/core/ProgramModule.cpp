#include "core/ProgramModule.h"

#include <QCoreApplication>
#include <QDir>

const QString ProgramModule::FolderRelative = QStringLiteral("../" ZELK_MODULE_FOLDER);
const QString ProgramModule::MissingStart = QStringLiteral("Part of the program is missing: ");

ProgramModule::ProgramModule(const QString &fileName, const QString &what)
    : m_library(QDir(folder()).filePath(fileName))
    , m_what(what)
{}

QString ProgramModule::folder()
{
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath(FolderRelative));
}

QFunctionPointer ProgramModule::entry(const char *symbol)
{
    if (!m_library.isLoaded() && !m_library.load()) {
        // QLibrary's text names the file and the loader's reason (a missing
        // file, a Qt library the module needs that is not installed).
        m_why = MissingStart + m_what + QStringLiteral(": ") + m_library.errorString();
        return nullptr;
    }
    const QFunctionPointer found = m_library.resolve(symbol);
    if (!found)
        m_why = MissingStart + QStringLiteral("%1 %2 has no %3 (is it of another version?)")
                                   .arg(m_what, m_library.fileName(), QLatin1String(symbol));
    return found;
}

QString ProgramModule::failureIn(const QString &text)
{
    const qsizetype at = text.indexOf(MissingStart);
    return at < 0 ? QString() : text.mid(at);
}

ProgramModule &ProgramModule::line()
{
    static ProgramModule module(QStringLiteral("serial-line.so"),
                                QStringLiteral("the serial line module"));
    return module;
}

ProgramModule &ProgramModule::trendCharts()
{
    static ProgramModule module(QStringLiteral("trend-charts.so"),
                                QStringLiteral("the trend charts module"));
    return module;
}

ProgramModule &ProgramModule::metricsHttp()
{
    static ProgramModule module(QStringLiteral("metrics-http.so"),
                                QStringLiteral("the metrics module"));
    return module;
}
