#include "VirtualDisplay.h"

#include <QDeadlineTimer>

bool VirtualDisplay::start()
{
    // With -displayfd the server takes the first free display number and
    // writes it once it accepts clients: tests running side by side never
    // meet, and nothing connects too early. Without -noreset the server
    // starts over whenever its last client leaves, turning away the program
    // if it connects at that moment.
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_server.start(QStringLiteral("Xvfb"),
                   QStringLiteral("-displayfd 1 -nolisten tcp -screen 0 1280x1024x24 -noreset")
                       .split(QLatin1Char(' ')));
    if (!m_server.waitForStarted(5000)) {
        m_error = QStringLiteral("Xvfb does not start: ") + m_server.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!m_server.canReadLine() && !deadline.hasExpired() &&
           m_server.state() == QProcess::Running)
        m_server.waitForReadyRead(int(deadline.remainingTime()));
    const QByteArray number = m_server.readLine().trimmed();
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb names no display");
        return false;
    }
    m_name = QStringLiteral(":") + QString::fromLatin1(number);
    return true;
}

QProcessEnvironment VirtualDisplay::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_name);
    return env;
}

QString VirtualDisplay::xdotool(const QStringList &arguments, bool *ok) const
{
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral("xdotool"), arguments);
    const bool finished = tool.waitForFinished(5000);
    if (ok)
        *ok = finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    QString out = QString::fromUtf8(tool.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1); // captions keep their own blanks
    return out;
}

QList<VirtualDisplay::Window> VirtualDisplay::visibleWindows() const
{
    QList<Window> windows;
    const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--name"), QString()})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        const QString caption = xdotool({QStringLiteral("getwindowname"), id});
        // The root window and unnamed helpers are not windows a user sees.
        if (!caption.isEmpty())
            windows.append({id, caption});
    }
    return windows;
}

QStringList VirtualDisplay::visibleCaptions() const
{
    QStringList captions;
    for (const Window &w : visibleWindows())
        captions.append(w.caption);
    captions.sort();
    return captions;
}

QSize VirtualDisplay::windowSize(const QString &id) const
{
    // "WIDTH=749" and "HEIGHT=472" among the shell-style lines.
    const QStringList lines =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id})
            .split(QLatin1Char('\n'));
    QSize size;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("WIDTH=")))
            size.setWidth(line.mid(6).toInt());
        else if (line.startsWith(QLatin1String("HEIGHT=")))
            size.setHeight(line.mid(7).toInt());
    }
    return size;
}

void VirtualDisplay::click(const QString &id, QPoint at) const
{
    xdotool(QStringLiteral("mousemove --window %1 --sync %2 %3 click 1 mousemove --sync 1279 1023")
                .arg(id, QString::number(at.x()), QString::number(at.y()))
                .split(QLatin1Char(' ')));
}

void VirtualDisplay::keys(const QString &id, const QStringList &keys) const
{
    xdotool(QStringLiteral("windowfocus --sync %1 key").arg(id).split(QLatin1Char(' ')) + keys);
}
