#pragma once

#include <QTimer>
#include <QWidget>

class QPainter;

// A two-state picture indicator: shows its "on" picture while Status is true
// (-1) and its "off" picture otherwise, can blink on its own timer, and raises
// MouseClick when clicked. The variants differ only in their two pictures.
// Truth values are 16-bit: -1 is true, 0 false; only -1 counts as on.
class OstransIndicator : public QWidget
{
    Q_OBJECT

public:
    static constexpr qint16 True = -1;
    static constexpr qint16 False = 0;
    // The two pictures of the control's picture list.
    static constexpr int OnPicture = 1;
    static constexpr int OffPicture = 2;
    static constexpr qint16 MinInterval = 100;
    static constexpr qint16 MaxInterval = 10000;

    explicit OstransIndicator(QWidget *parent = nullptr);

    qint16 Enable() const { return m_enable; }
    // Only True or False; any other value is ignored.
    void setEnable(qint16 value);

    qint16 BInterval() const { return m_interval; }
    // Milliseconds, 100 to 10000; any other value is ignored.
    void setBInterval(qint16 value);

    qint16 Blinking() const { return m_blinking; }
    // Only True or False. False stops the blinking and leaves the indicator off.
    void setBlinking(qint16 value);

    qint16 Status() const { return m_status; }
    // Any value is kept; only True shows the "on" picture.
    void setStatus(qint16 value);

    // The picture on screen: OnPicture or OffPicture.
    int shownPicture() const { return m_picture; }
    QTimer *Timer1() { return &m_timer; }

    // Draws picture OnPicture or OffPicture of this variant into rect.
    virtual void drawPicture(QPainter &painter, const QRectF &rect, int picture) const = 0;

signals:
    void MouseClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void showPicture(int picture);
    void updateTimer();
    void Timer1_Timer();
    void redrawNow();

    qint16 m_enable = False;
    qint16 m_interval = 0;
    qint16 m_blinking = False;
    qint16 m_status = True;
    // Until the host first sets Status the indicator shows unlit, whatever
    // the initial Status says.
    int m_picture = OffPicture;
    bool m_pressed = false;
    QTimer m_timer;
};
