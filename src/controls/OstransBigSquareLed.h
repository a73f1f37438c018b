#pragma once

#include "controls/OstransIndicator.h"

// A large square lamp behind frosted glass, for unit-wide alarms.
class OstransBigSquareLed : public OstransIndicator
{
    Q_OBJECT

public:
    explicit OstransBigSquareLed(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    void drawPicture(QPainter &painter, const QRectF &rect, int picture) const override;
};
