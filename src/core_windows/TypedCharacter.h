#pragma once

#include <QKeyEvent>

// The character a key types, as the numeric key filter sees it (8 Backspace,
// 13 Enter); -1 for keys that type nothing (arrows, Delete, shortcuts such as
// paste), which the field handles as usual.
inline int typedCharacter(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_Backspace)
        return 8;
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        return 13;
    const QString text = event.text();
    if (text.isEmpty() || text.at(0).unicode() < 32 || text.at(0).unicode() == 127)
        return -1;
    return text.at(0).unicode();
}
