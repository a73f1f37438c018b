#pragma once

#include "controls/DisplayPictures.h"

#include <QWidget>

// A five-position seven-segment panel meter. TextValue takes the number as
// text, normally "##.##" with the user's decimal separator, and a digit set
// (1 red, 2 green).
class OstransDisplay : public QWidget
{
    Q_OBJECT

public:
    explicit OstransDisplay(QWidget *parent = nullptr);

    // "TextValue, use format ##.##"
    void TextValue(qint16 DigitsType, const QString &TextTodisplay);

    // The last digit set and text given to TextValue.
    qint16 digitsType() const { return m_digitsType; }
    QString text() const { return m_text; }
    // The picture shown at position 1..5 (numbers as in DisplayPictures).
    int pictureAt(int position) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A key was released while the display had the focus.
    void ControlsKeyUp(qint16 KeyCode, qint16 Shift);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    QRect positionRect(int index) const;

    qint16 m_digitsType = 1;
    QString m_text;
    DisplayPictures::Pictures m_pictures;
};
