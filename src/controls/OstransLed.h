#pragma once

#include "controls/OstransIndicator.h"

// A round panel LED, green when lit.
class OstransLed : public OstransIndicator
{
    Q_OBJECT

public:
    explicit OstransLed(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    void drawPicture(QPainter &painter, const QRectF &rect, int picture) const override;
};
