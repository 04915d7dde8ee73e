#include "framework/qs_image.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

void TImage::SetPicture(const QPixmap& value) {
  fPicture = value;
  update();
}

void TImage::SetCenter(bool value) {
  if (fCenter == value) return;
  fCenter = value;
  update();
}

void TImage::SetProportional(bool value) {
  if (fProportional == value) return;
  fProportional = value;
  update();
}

QRect TImage::PictureRect() const {
  if (fPicture.isNull()) return {};
  // Device-independent size, so a high-resolution icon keeps its layout size.
  QSize size = fPicture.deviceIndependentSize().toSize();
  if (fProportional && (size.width() > width() || size.height() > height()))
    size.scale(this->size(), Qt::KeepAspectRatio);
  const QPoint at = fCenter ? QPoint((width() - size.width()) / 2, (height() - size.height()) / 2) : QPoint(0, 0);
  return QRect(at, size);
}

void TImage::paintEvent(QPaintEvent*) {
  if (fPicture.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(PictureRect(), fPicture);
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && fOnDblClick) {
    fOnDblClick(this);
    return;
  }
  QWidget::mouseDoubleClickEvent(event);
}
