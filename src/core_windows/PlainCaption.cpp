#include "core_windows/PlainCaption.h"

namespace {
// Colours are stored as 0x00BBGGRR.
QString cssColor(quint32 c)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(c & 0xFF).arg((c >> 8) & 0xFF).arg((c >> 16) & 0xFF);
}
} // namespace

PlainCaption::PlainCaption(QWidget *parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    restyle();
}

void PlainCaption::setForeColor1(quint32 color)
{
    m_fore1 = color;
    restyle();
}

void PlainCaption::setForeColor2(quint32 color)
{
    m_fore2 = color;
    restyle();
}

void PlainCaption::setBackColor(quint32 color)
{
    m_back = color;
    restyle();
}

void PlainCaption::setBorderStyle(qint16 style)
{
    m_border = style;
    restyle();
}

void PlainCaption::setCaptionAlignment(qint16 alignment)
{
    m_alignment = alignment;
    setAlignment(alignment == 0   ? Qt::AlignLeft | Qt::AlignVCenter
                 : alignment == 1 ? Qt::AlignRight | Qt::AlignVCenter
                                  : Qt::AlignCenter);
}

void PlainCaption::restyle()
{
    setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border: %3; }")
                      .arg(cssColor(m_fore2), cssColor(m_back),
                           m_border ? QStringLiteral("1px solid black") : QStringLiteral("none")));
}
