#include "controls/OstransDisplay.h"

#include "controls/DigitPictures.h"
#include "controls/KeyCodes.h"
#include "core/ZelkGlobals.h"

#include <QKeyEvent>
#include <QPainter>

OstransDisplay::OstransDisplay(QWidget *parent)
    : QWidget(parent)
{
    // Nothing to show before the first reading.
    m_pictures.fill(DisplayPictures::EmptyText);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void OstransDisplay::TextValue(qint16 DigitsType, const QString &TextTodisplay)
{
    m_digitsType = DigitsType;
    m_text = TextTodisplay;
    const auto pictures = DisplayPictures::pictureIndices(
        DigitsType, TextTodisplay, ZelkGlobals::DecimalSeparator, m_pictures);
    for (int i = 0; i < DisplayPictures::Positions; ++i) {
        if (pictures[i] == m_pictures[i])
            continue;
        m_pictures[i] = pictures[i];
        // Painted at once, so a reading shows even in the middle of a poll.
        if (isVisible())
            repaint(positionRect(i));
    }
}

int OstransDisplay::pictureAt(int position) const
{
    if (position < 1 || position > DisplayPictures::Positions)
        return 0;
    return m_pictures[position - 1];
}

QSize OstransDisplay::sizeHint() const
{
    return {5 * 22, 38};
}

QSize OstransDisplay::minimumSizeHint() const
{
    return {5 * 8, 14};
}

QRect OstransDisplay::positionRect(int index) const
{
    const int left = width() * index / DisplayPictures::Positions;
    const int right = width() * (index + 1) / DisplayPictures::Positions;
    return QRect(left, 0, right - left, height());
}

void OstransDisplay::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    for (int i = 0; i < DisplayPictures::Positions; ++i) {
        const QRect cell = positionRect(i);
        if (event->rect().intersects(cell))
            DigitPictures::draw(painter, QRectF(cell), m_pictures[i]);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void OstransDisplay::keyReleaseEvent(QKeyEvent *event)
{
    // A held key repeats its release; the host wants one per real release.
    if (event->isAutoRepeat()) {
        event->ignore();
        return;
    }
    emit ControlsKeyUp(KeyCodes::keyCode(*event), KeyCodes::shiftState(event->modifiers()));
}
