#pragma once
// Paints widgets into images on a known background, and finds where a
// colour landed.
#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

namespace probe {

inline const QColor kBackground(0xFF, 0x00, 0xFF);

// A parent window filled with kBackground, `size` large.
QWidget* NewHost(QSize size = QSize(200, 120));
// The host as painted, children included.
QImage Grab(QWidget* widget);
// Smallest rectangle holding every pixel of exactly `color` (empty if none).
QRect BoundsOf(const QImage& image, const QColor& color);
int CountOf(const QImage& image, const QColor& color, const QRect& area = QRect());
// A w x h image in `fill` whose bottom-left pixel is `key` (the colour a
// glyph treats as transparent).
QImage Solid(int w, int h, const QColor& fill, const QColor& key = QColor(0x80, 0x80, 0x00));

}  // namespace probe
