#pragma once

#include <QPixmap>

// The launcher's pictures, drawn so they stay crisp at any screen density.
namespace LauncherPictures {
QPixmap monitorPicture(const QSize &size, qreal devicePixelRatio);
QPixmap editorPicture(const QSize &size, qreal devicePixelRatio);
QPixmap logo(const QSize &size, qreal devicePixelRatio);
QPixmap portButton(const QSize &size, qreal devicePixelRatio);
QPixmap exitButton(const QSize &size, qreal devicePixelRatio);
} // namespace LauncherPictures
