#include "app/StartOptions.h"

#include "metrics/MetricsEndpoint.h"

namespace {

// Literals: a list made from another file's constants could be made first.
const QStringList OwnValued = {QStringLiteral("--app-dir"), QStringLiteral("--bus"),
                               QStringLiteral("--grab"), QStringLiteral("--metrics"),
                               QStringLiteral("--bench")};

// Qt's documented options of QGuiApplication and QApplication, without their
// dash; Qt takes them with one dash or two.
const QStringList QtValued = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
    QStringLiteral("style"),           QStringLiteral("stylesheet")};
const QStringList QtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                             QStringLiteral("nograb"), QStringLiteral("dograb"),
                             QStringLiteral("qmljsdebugger")};
const QStringList QtJoinable = {QStringLiteral("style"), QStringLiteral("stylesheet"),
                                QStringLiteral("qmljsdebugger")};

} // namespace

StartOptions StartOptions::read(const QStringList &arguments)
{
    StartOptions o;
    const auto mistake = [&o](const QString &problem) {
        o.action = Action::Usage;
        o.problem = problem;
        return o;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            o.action = Action::Help;
            return o;
        }
        if (word == QLatin1String("--version")) {
            o.action = Action::Version;
            return o;
        }
        const QString name = word.section(QLatin1Char('='), 0, 0);
        const bool joined = name.size() < word.size();
        const bool dashed = name.startsWith(QLatin1Char('-'));
        const QString qtName = name.startsWith(QLatin1String("--")) ? name.mid(2) : name.mid(1);
        const bool own = OwnValued.contains(name);
        // Qt takes NAME=VALUE only for these; any other would be left over.
        if (dashed && joined && !own && !QtJoinable.contains(qtName))
            return mistake(QStringLiteral("unknown option %1").arg(word));
        if (own || (dashed && QtValued.contains(qtName))) {
            const QString value = joined                     ? word.mid(name.size() + 1)
                                  : i + 1 < arguments.size() ? arguments.at(++i)
                                                             : QString();
            // Guessing a folder or a file would use the wrong settings.
            if (value.isEmpty())
                return mistake(QStringLiteral("%1 needs a value").arg(name));
            if (name == QLatin1String("--grab"))
                o.grabFile = value;
            else if (name == QLatin1String("--metrics")) {
                QString why;
                if (!MetricsEndpoint::parse(value, &why))
                    return mistake(QStringLiteral("--metrics ") + why);
                o.metrics = value;
            } else if (name == QLatin1String("--bench"))
                o.bench = value;
            else if (qtName == QLatin1String("platform"))
                o.platform = value;
            else if (qtName == QLatin1String("display"))
                o.display = value;
        } else if (!dashed) {
            return mistake(QStringLiteral("unexpected argument %1").arg(word));
        } else if (!QtFlags.contains(qtName)) {
            return mistake(QStringLiteral("unknown option %1").arg(word));
        }
    }
    return o;
}

QString StartOptions::missingDisplay(const QString &platform, const QString &display,
                                     const QString &waylandDisplay)
{
    const QString hint = QStringLiteral(
        "Start it in a desktop session, or on a virtual display: xvfb-run -a ZelkSoft");
    // Without a platform Qt tries the display servers the session has.
    if (platform.trimmed().isEmpty()) {
        return display.isEmpty() && waylandDisplay.isEmpty()
                   ? QStringLiteral("no display to show the window on: neither DISPLAY nor "
                                    "WAYLAND_DISPLAY is set. %1")
                         .arg(hint)
                   : QString();
    }
    // A list of platforms is tried in turn. Only xcb and wayland need a
    // display server; any other (offscreen, eglfs, a name Qt does not know)
    // is Qt's to judge.
    QStringList wanting;
    for (const QString &entry : platform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        const bool x = name == QLatin1String("xcb");
        const bool wayland = name.startsWith(QLatin1String("wayland"));
        if ((!x && !wayland) || (x && !display.isEmpty()) || (wayland && !waylandDisplay.isEmpty()))
            return {};
        wanting << QStringLiteral("%1 needs %2").arg(name, x ? "DISPLAY" : "WAYLAND_DISPLAY");
    }
    return QStringLiteral("no display to show the window on: the platform %1, not set. %2")
        .arg(wanting.join(QStringLiteral(" and ")), hint);
}
