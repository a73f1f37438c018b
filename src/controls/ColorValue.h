#pragma once

#include <QColor>
#include <QPalette>

// The 32-bit colour values of the design: 0x00BBGGRR for a fixed colour, or
// the high bit set and a system colour index in the low byte, which follows
// the desktop's palette.
namespace ColorValue {
inline constexpr quint32 Black = 0x000000;
inline constexpr quint32 White = 0xFFFFFF;
inline constexpr quint32 ButtonFace = 0x8000000F;

QColor toQColor(quint32 value, const QPalette &palette);
quint32 fromQColor(const QColor &color);
} // namespace ColorValue
