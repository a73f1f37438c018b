#pragma once

#include <QLabel>

// A flat caption with the named properties of the 3D caption, used where the
// 3D one is not available.
class PlainCaption : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(quint32 ForeColor1 READ foreColor1 WRITE setForeColor1)
    Q_PROPERTY(quint32 ForeColor2 READ foreColor2 WRITE setForeColor2)
    Q_PROPERTY(quint32 BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(qint16 BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(qint16 Alignment READ captionAlignment WRITE setCaptionAlignment)
public:
    explicit PlainCaption(QWidget *parent = nullptr);

    quint32 foreColor1() const { return m_fore1; }
    void setForeColor1(quint32 color);
    quint32 foreColor2() const { return m_fore2; }
    void setForeColor2(quint32 color);
    quint32 backColor() const { return m_back; }
    void setBackColor(quint32 color);
    qint16 borderStyle() const { return m_border; }
    void setBorderStyle(qint16 style);
    qint16 captionAlignment() const { return m_alignment; }
    void setCaptionAlignment(qint16 alignment);

private:
    void restyle();
    quint32 m_fore1 = 0;
    quint32 m_fore2 = 0;
    quint32 m_back = 0xFFFFFF;
    qint16 m_border = 0;
    qint16 m_alignment = 2;
};
