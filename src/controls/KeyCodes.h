#pragma once

#include <QtGlobal>
#include <qnamespace.h>

class QKeyEvent;

// The design's 16-bit key codes and shift masks, so hosts see the same
// numbers on every platform.
namespace KeyCodes {
inline constexpr qint16 ShiftMask = 1;
inline constexpr qint16 CtrlMask = 2;
inline constexpr qint16 AltMask = 4;

// Key code of the key in the event (letters 65..90, digits 48..57, F1 112,
// ...), 0 for a key without one.
qint16 keyCode(const QKeyEvent &event);
qint16 shiftState(Qt::KeyboardModifiers modifiers);
// Mouse button: 1 left, 2 right, 4 middle (or-ed for several).
qint16 mouseButtons(Qt::MouseButtons buttons);
} // namespace KeyCodes
