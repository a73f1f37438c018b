#include "controls/ColorValue.h"

namespace ColorValue {
namespace {
QColor systemColor(quint32 index, const QPalette &palette)
{
    switch (index) {
    case 0x01: // desktop
    case 0x0C: // application workspace
        return palette.color(QPalette::Dark);
    case 0x04: // menu
        return palette.color(QPalette::Window);
    case 0x05: // window
        return palette.color(QPalette::Base);
    case 0x06: // window frame
    case 0x15: // 3D dark shadow
        return palette.color(QPalette::Shadow);
    case 0x07: // menu text
    case 0x08: // window text
        return palette.color(QPalette::WindowText);
    case 0x0D: // highlight
        return palette.color(QPalette::Highlight);
    case 0x0E: // highlight text
        return palette.color(QPalette::HighlightedText);
    case 0x10: // button shadow
        return palette.color(QPalette::Mid);
    case 0x11: // grey text
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 0x12: // button text
        return palette.color(QPalette::ButtonText);
    case 0x14: // 3D highlight
        return palette.color(QPalette::Light);
    case 0x16: // 3D light
        return palette.color(QPalette::Midlight);
    case 0x17: // tooltip text
        return palette.color(QPalette::ToolTipText);
    case 0x18: // tooltip background
        return palette.color(QPalette::ToolTipBase);
    case 0x0F: // button face
    default:
        return palette.color(QPalette::Button);
    }
}
} // namespace

QColor toQColor(quint32 value, const QPalette &palette)
{
    if (value & 0x80000000u)
        return systemColor(value & 0xFFu, palette);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 fromQColor(const QColor &color)
{
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}
} // namespace ColorValue
