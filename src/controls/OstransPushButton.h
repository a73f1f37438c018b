#pragma once

#include "controls/OstransIndicator.h"

// An illuminated round push button: pressed in and lit when on.
class OstransPushButton : public OstransIndicator
{
    Q_OBJECT

public:
    explicit OstransPushButton(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    void drawPicture(QPainter &painter, const QRectF &rect, int picture) const override;
};
