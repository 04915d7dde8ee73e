#include "images/qs_Graphics.h"

#include <QFile>
#include <QPainter>

#include "images/qs_Jpeg.h"

void TBitmap::Draw(QPainter& painter, const QRect& dest) const {
  if (fImage.isNull() || dest.isEmpty()) return;
  painter.drawImage(dest, fImage);
}

QColor TBitmap::TransparentColor() const {
  if (fImage.isNull()) return QColor(0x80, 0x80, 0x00);
  return fImage.pixelColor(0, fImage.height() - 1);
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  fGraphic = std::move(graphic);
  if (fOnChange) fOnChange();
}

void TPicture::Assign(const TPicture& other) {
  if (&other == this) return;
  SetGraphic(other.fGraphic ? other.fGraphic->Clone() : nullptr);
}

void TPicture::LoadFromFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw EInvalidGraphic(QStringLiteral("Cannot read the picture \"%1\": %2").arg(fileName, file.errorString()));
  const QByteArray data = file.readAll();
  if (LooksLikeJpeg(data)) {
    auto jpeg = std::make_unique<TJPEGImage>();
    try {
      jpeg->LoadFromData(data);
    } catch (const EInvalidGraphic& e) {
      throw EInvalidGraphic(QStringLiteral("\"%1\": %2").arg(fileName, e.Message()));
    }
    SetGraphic(std::move(jpeg));
    return;
  }
  QImage image;
  if (!image.loadFromData(data) || image.isNull())
    throw EInvalidGraphic(QStringLiteral("\"%1\" is not a picture this program can read.").arg(fileName));
  SetGraphic(std::make_unique<TBitmap>(std::move(image)));
}
