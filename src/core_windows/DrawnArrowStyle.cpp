#include "core_windows/DrawnArrowStyle.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleOption>

namespace {
// A double chevron pointing right, as the file-based arrow shows.
QPixmap chevrons(int size, const QColor &colour)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, qMax(1.0, size / 8.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal s = size;
    for (const qreal x : {0.25, 0.5}) {
        QPainterPath chevron;
        chevron.moveTo(s * x, s * 0.25);
        chevron.lineTo(s * (x + 0.22), s * 0.5);
        chevron.lineTo(s * x, s * 0.75);
        p.drawPath(chevron);
    }
    return pm;
}
} // namespace

DrawnArrowStyle::DrawnArrowStyle(QStyle *base)
    : QProxyStyle(base)
{}

QIcon DrawnArrowStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                                    const QWidget *widget) const
{
    if (standardIcon != SP_ToolBarHorizontalExtensionButton)
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    const QColor colour = (option ? option->palette : QApplication::palette())
                              .color(QPalette::Active, QPalette::ButtonText);
    QIcon icon;
    for (const int size : {16, 32})
        icon.addPixmap(chevrons(size, colour));
    return icon;
}

void DrawnArrowStyle::install()
{
    QApplication::setStyle(new DrawnArrowStyle(QApplication::style()));
}
