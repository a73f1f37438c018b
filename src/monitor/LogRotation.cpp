#include "monitor/LogRotation.h"

#include "core/Clock.h"
#include "core/Ini.h"
#include "core/Seams.h"
#include "core/SettingsKeys.h"
#include "monitor/LogFileAccess.h"
#include "monitor/StatusLogFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

const QString StampMark = QStringLiteral("@STAMP@");

QString withStamp(const QString &statusLogPath, const QString &stamp)
{
    // Split at the first dot, as the alarm log's name is.
    const QFileInfo info(statusLogPath);
    const QString name = info.fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString stamped = dot < 0 ? name + QLatin1Char('-') + stamp
                                    : name.left(dot) + QLatin1Char('-') + stamp + name.mid(dot);
    return info.dir().filePath(stamped);
}

} // namespace

LogRotationSettings LogRotationSettings::fromIni(const QString &guiIniPath)
{
    const auto read = [&](const QString &key) {
        return ReadIni(GuiIniKeys::MonitorSection, key, guiIniPath).trimmed();
    };
    LogRotationSettings s;
    const QString cut = read(LogRotationKeys::Cut).toLower();
    if (cut == LogRotationKeys::CutByDay)
        s.cut = Cut::Day;
    else if (cut == LogRotationKeys::CutBySize)
        s.cut = Cut::Size;
    bool ok = false;
    const qint64 kb = read(LogRotationKeys::SizeKB).toLongLong(&ok);
    if (ok && kb > 0)
        s.maxBytes = kb * 1024;
    const int keep = read(LogRotationKeys::Keep).toInt(&ok);
    if (ok && keep > 0)
        s.keep = keep;
    return s;
}

void LogRotation::setSettings(const LogRotationSettings &settings)
{
    LogRotationSettings s = settings;
    s.keep = qMax(1, s.keep);
    s.maxBytes = qMax<qint64>(1, s.maxBytes);
    // Read again whenever the window loads: only a change starts a file.
    if (s == m_settings)
        return;
    m_settings = s;
    m_current.clear();
}

QString LogRotation::cutPath(const QString &statusLogPath, LogRotationSettings::Cut cut,
                             const QDateTime &start)
{
    const QString format = cut == LogRotationSettings::Cut::Size
                               ? QStringLiteral("yyyy-MM-dd'T'HHmmss")
                               : QStringLiteral("yyyy-MM-dd");
    return withStamp(statusLogPath, start.toString(format));
}

QString LogRotation::nextPath(LogFileAccess &access, const QDateTime &now, QDateTime *started) const
{
    QString path = dressed(cutPath(m_base, m_settings.cut, now));
    *started = now;
    if (m_settings.cut == LogRotationSettings::Cut::Day)
        return path;
    // Each size cut starts a file of its own, named after every earlier one
    // (also when cuts come faster than one a second). An empty file is taken:
    // a cut that failed may have left it.
    QDateTime start = m_current.isEmpty() ? now : qMax(now, m_start.addSecs(1));
    path = dressed(cutPath(m_base, m_settings.cut, start));
    while (access.info(path).size > 0) {
        start = start.addSecs(1);
        path = dressed(cutPath(m_base, m_settings.cut, start));
    }
    *started = start;
    return path;
}

bool LogRotation::cutDue(LogFileAccess &access, const QDateTime &now) const
{
    if (m_settings.cut == LogRotationSettings::Cut::Day)
        return now.date() != m_day;
    return access.info(m_current).size >= m_settings.maxBytes;
}

void LogRotation::removeOldest(LogFileAccess &access) const
{
    const QFileInfo current(m_current);
    QString pattern =
        QRegularExpression::escape(QFileInfo(dressed(withStamp(m_base, StampMark))).fileName());
    pattern.replace(QRegularExpression::escape(StampMark),
                    QStringLiteral("\\d{4}-\\d{2}-\\d{2}(?:T\\d{6})?"));
    const QRegularExpression ours(QRegularExpression::anchoredPattern(pattern));
    QStringList names = access.fileNames(current.path());
    names.removeIf([&](const QString &name) { return !ours.match(name).hasMatch(); });
    std::sort(names.begin(), names.end());
    const QDir folder = current.dir();
    for (qsizetype i = 0; i + m_settings.keep < names.size(); ++i) {
        if (names[i] != current.fileName())
            (void)access.remove(folder.filePath(names[i])); // tried again at the next cut
    }
}

bool LogRotation::write(StatusLogFile &file, const QString &statusLogPath, const StatusLog &log)
{
    // The same log going to another file (a cut, or the settings changed)
    // is handed on; a new name starts as any file does.
    const bool sameLog = statusLogPath == m_base && !file.path().isEmpty();
    m_base = statusLogPath;
    if (!isOn()) {
        m_current.clear();
        const QString path = dressed(statusLogPath);
        if (sameLog)
            file.continueIn(path);
        return file.sync(path, log);
    }

    LogFileAccess &access = file.access();
    const QDateTime now = Seams::clock().currentDateTime();
    bool ok = false;
    if (m_current.isEmpty() || !sameLog) {
        if (!sameLog)
            m_current.clear(); // a new name's files owe nothing to the last ones
        m_current = nextPath(access, now, &m_start);
        m_day = now.date();
        m_pruned = false;
        if (sameLog)
            file.continueIn(m_current);
        ok = file.sync(m_current, log);
    } else if (cutDue(access, now)) {
        QDateTime started;
        const QString next = nextPath(access, now, &started);
        file.continueIn(next);
        ok = file.sync(next, log);
        if (ok) {
            m_current = next;
            m_start = started;
            m_day = now.date();
            m_pruned = false;
        } else {
            file.continueIn(m_current);
            ok = file.sync(m_current, log);
        }
    } else {
        ok = file.sync(m_current, log);
    }
    if (ok && !m_pruned) {
        m_pruned = true;
        removeOldest(access);
    }
    return ok;
}
