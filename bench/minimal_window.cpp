// The floor for the program's start-up: a Qt Widgets program that shows one
// empty window, timed with the same probe as the launcher. With --text the
// window holds one line of text, so the cost of starting the fonts for a first
// text can be told apart from the program's own.
#include "core_windows/ShownProbe.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char **argv)
{
    const bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    QApplication app(argc, argv);
    QWidget window;
    // The launcher's size (11235 x 7080 twips), so both paint equal areas.
    window.resize(749, 472);
    if (withText)
        new QLabel(QStringLiteral("ZelkSoft"), &window);
    ShownProbe::exitWhenShownIfAsked(&window);
    window.show();
    return QApplication::exec();
}
