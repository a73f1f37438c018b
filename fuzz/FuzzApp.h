#pragma once

#include <QApplication>

// The one application object of a fuzz target that needs widgets, on the
// offscreen platform unless another is asked for. Never destroyed: libFuzzer
// ends the process with exit(), after which Qt must not run.
inline void startFuzzApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps argc by reference and may edit argv: give it its own.
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication *app = new QApplication(argc, argv);
    (void)app;
}
