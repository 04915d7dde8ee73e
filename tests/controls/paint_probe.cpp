#include "tests/controls/paint_probe.h"

#include <QPalette>

namespace probe {

QWidget* NewHost(QSize size) {
  auto* host = new QWidget;
  host->setAttribute(Qt::WA_DontShowOnScreen);
  QPalette pal = host->palette();
  pal.setColor(QPalette::Window, kBackground);
  host->setPalette(pal);
  host->setAutoFillBackground(true);
  host->resize(size);
  return host;
}

QImage Grab(QWidget* widget) { return widget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QRect BoundsOf(const QImage& image, const QColor& color) {
  const QRgb want = color.rgb();
  QRect bounds;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == want) bounds |= QRect(x, y, 1, 1);
  return bounds;
}

int CountOf(const QImage& image, const QColor& color, const QRect& area) {
  const QRect r = area.isNull() ? image.rect() : area & image.rect();
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (image.pixel(x, y) == color.rgb()) ++n;
  return n;
}

QImage Solid(int w, int h, const QColor& fill, const QColor& key) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  if (w > 0 && h > 0) image.setPixelColor(0, h - 1, key);
  return image;
}

}  // namespace probe
