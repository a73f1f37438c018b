#pragma once

#include <QString>
#include <QStringList>

// The program's command line, read before anything needs a display: a
// mistake is told the same way with a screen or without one, and no window
// opens on options the user did not mean.
struct StartOptions
{
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    QString problem;  // with Usage: what is wrong, for standard error
    QString grabFile; // --grab FILE
    QString metrics;  // --metrics ADDRESS:PORT: serve the live state for Prometheus
    QString bench;    // --bench NAME: the bench label of the metrics
    QString platform; // Qt's -platform NAME, which wins over QT_QPA_PLATFORM
    QString display;  // Qt's -display NAME, which wins over DISPLAY

    // Takes ours (--app-dir, --bus, --grab, --metrics, --bench, --help,
    // --version) and Qt's own
    // (-platform, -style, -reverse, ...), which QApplication takes from the
    // arguments later; anything else is a usage mistake. The first of help,
    // version and a mistake decides.
    [[nodiscard]] static StartOptions read(const QStringList &arguments);

    // Why no window could be shown with this platform and these display
    // variables; empty when one can, or when Qt is left to tell (a platform
    // this does not know).
    [[nodiscard]] static QString missingDisplay(const QString &platform, const QString &display,
                                                const QString &waylandDisplay);
};
