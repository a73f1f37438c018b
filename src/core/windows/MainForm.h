#pragma once

#include <QLabel>
#include <QMainWindow>

// The start-up window: runs start-up and offers the two activities.
class MainForm : public QMainWindow
{
    Q_OBJECT
public:
    static MainForm &instance();
    static void destroyInstance();

    // Start-up, in order: one copy only, the globals, the heading, the port.
    // False when the program must end (another copy runs, or start-up failed).
    [[nodiscard]] bool Form_Load();

    QLabel *lbl = nullptr;
    QLabel *lblDefaultComPort = nullptr;

    static constexpr int WidthTwips = 11235;
    static constexpr int HeightTwips = 7080;

private:
    MainForm();
};
