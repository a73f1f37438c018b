// The floor for the program's start-up: a Qt Widgets program that shows one
// empty window, timed with the same probe as the launcher.
#include "ShownProbe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    // The launcher's size (11235 x 7080 twips), so both paint equal areas.
    window.resize(749, 472);
    ShownProbe::exitWhenShownIfAsked(&window);
    window.show();
    return QApplication::exec();
}
