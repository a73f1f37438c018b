#pragma once

#include <QProxyStyle>

// The platform style, with the menu bar's overflow arrow drawn instead of read
// from an image file: reading it makes Qt load every image-format plugin, a
// millisecond of the launcher's start spent on an arrow that a menu bar of
// this width never shows.
class DrawnArrowStyle : public QProxyStyle
{
public:
    // Takes ownership of base (the application's style when null).
    explicit DrawnArrowStyle(QStyle *base = nullptr);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

    // Puts the style in front of the application's current one.
    static void install();
};
