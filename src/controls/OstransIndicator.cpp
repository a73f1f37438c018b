#include "controls/OstransIndicator.h"

#include <QMouseEvent>
#include <QPainter>

OstransIndicator::OstransIndicator(QWidget *parent)
    : QWidget(parent)
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    connect(&m_timer, &QTimer::timeout, this, &OstransIndicator::Timer1_Timer);
    // Enable starts False, and the control follows it.
    QWidget::setEnabled(false);
}

void OstransIndicator::setEnable(qint16 value)
{
    if (value != True && value != False)
        return;
    m_enable = value;
    QWidget::setEnabled(value == True);
    redrawNow();
}

void OstransIndicator::setBInterval(qint16 value)
{
    if (value < MinInterval || value > MaxInterval)
        return;
    m_interval = value;
    updateTimer();
}

void OstransIndicator::setBlinking(qint16 value)
{
    if (value != True && value != False)
        return;
    m_blinking = value;
    updateTimer();
    if (value == False)
        setStatus(False);
    else
        redrawNow();
}

void OstransIndicator::setStatus(qint16 value)
{
    m_status = value;
    showPicture(value == True ? OnPicture : OffPicture);
}

void OstransIndicator::Timer1_Timer()
{
    // Toggle between the two canonical values: complementing a stray value
    // such as 1 would give -2, and the indicator would never light.
    setStatus(m_status == True ? False : True);
}

void OstransIndicator::updateTimer()
{
    // Without an accepted interval there is nothing to blink at; the timer
    // starts once BInterval is set.
    if (m_blinking != True || m_interval < MinInterval) {
        m_timer.stop();
        return;
    }
    if (m_timer.interval() != m_interval || !m_timer.isActive())
        m_timer.start(m_interval);
}

void OstransIndicator::showPicture(int picture)
{
    m_picture = picture;
    redrawNow();
}

void OstransIndicator::redrawNow()
{
    // Painted at once, so the change shows even while the host is in a long
    // device sequence; unlike letting events run, this cannot re-enter the
    // host's handlers from inside a property change.
    if (isVisible())
        repaint();
}

void OstransIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawPicture(painter, QRectF(rect()), m_picture);
}

void OstransIndicator::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void OstransIndicator::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit MouseClick();
}
