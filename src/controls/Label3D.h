#pragma once

#include <QWidget>

class PropertyBag;
class QLabel;

// A caption with a raised or sunken look: the same text drawn twice, in two
// colours, one pixel apart. Sizes are kept in twips (15 to a pixel) so a
// host's stored layout survives a round trip exactly.
//
// Enabled and Font are the widget's own (setEnabled, setFont) and reach both
// labels; Font defaults to the host's font.
class Label3D : public QWidget
{
    Q_OBJECT
    // Reachable by name for hosts that place the control without its header.
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(quint32 ForeColor1 READ ForeColor1 WRITE setForeColor1)
    Q_PROPERTY(quint32 ForeColor2 READ ForeColor2 WRITE setForeColor2)
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(qint16 BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(qint16 Alignment READ Alignment WRITE setAlignment)

public:
    static constexpr int MinimumTwips = 100;
    static constexpr int PhaseOffsetTwips = 15;
    enum AlignmentValue : qint16 { LeftJustify = 0, RightJustify = 1, Center = 2 };
    enum BorderStyleValue : qint16 { None = 0, FixedSingle = 1 };

    explicit Label3D(QWidget *parent = nullptr);

    qint16 Enabled() const;
    QFont Font() const;

    quint32 ForeColor1() const { return m_foreColor1; }
    void setForeColor1(quint32 color);
    quint32 ForeColor2() const { return m_foreColor2; }
    void setForeColor2(quint32 color);

    QString Caption() const;
    void setCaption(const QString &caption);

    qint16 Alignment() const { return m_alignment; }
    // 0 left, 1 right, 2 centre; other values are ignored.
    void setAlignment(qint16 alignment);

    quint8 Phase() const { return m_phase; }
    // 0..3 choose where the light copy lies; 4..255 are kept but move
    // nothing; a value that does not fit in 8 bits is refused.
    void setPhase(int phase);

    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 color);

    qint16 BorderStyle() const { return m_borderStyle; }
    // 0 none, 1 fixed single; other values are ignored.
    void setBorderStyle(qint16 style);

    void Refresh();

    // Size in twips; below 100 x 100 the control grows to that.
    int widthTwips() const { return m_widthTwips; }
    int heightTwips() const { return m_heightTwips; }
    void resizeTwips(int width, int height);

    // A new instance placed on a host: Phase 0 and the host's font.
    void InitProperties();
    void ReadProperties(PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    QLabel *Label1() const { return m_label1; }
    QLabel *Label2() const { return m_label2; }

signals:
    void Click();
    void DblClick();
    // Button 1 left, 2 right, 4 middle; Shift 1 shift, 2 ctrl, 4 alt; X and Y
    // in twips from the control's top left.
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(qint16 Button, qint16 Shift, float X, float Y);
    void MouseUp(qint16 Button, qint16 Shift, float X, float Y);
    // A saved property changed, so the host has something to store.
    void PropertyChanged(const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QFont ambientFont() const;
    void layoutLabels();
    void applyColors();
    void applyAlignment();

    QLabel *m_label1;
    QLabel *m_label2;
    quint32 m_foreColor1;
    quint32 m_foreColor2;
    quint32 m_backColor;
    qint16 m_alignment = LeftJustify;
    qint16 m_borderStyle = None;
    quint8 m_phase = 0;
    int m_widthTwips;
    int m_heightTwips;
    bool m_pressed = false;
    bool m_afterDoubleClick = false;
};
