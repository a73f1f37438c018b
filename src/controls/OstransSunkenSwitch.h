#pragma once

#include "controls/OstransIndicator.h"

// A slide switch sunk into the panel: lever up and a lit track when on.
class OstransSunkenSwitch : public OstransIndicator
{
    Q_OBJECT

public:
    explicit OstransSunkenSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    void drawPicture(QPainter &painter, const QRectF &rect, int picture) const override;
};
