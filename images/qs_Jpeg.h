#pragma once
// JPEG pictures, decoded with libjpeg.
#include <QByteArray>
#include <QImage>
#include <QString>

#include "images/qs_Graphics.h"

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage() = default;
  int Width() const override { return fImage.width(); }
  int Height() const override { return fImage.height(); }
  void Draw(QPainter& painter, const QRect& dest) const override;
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TJPEGImage>(*this); }

  // Raise EInvalidGraphic for data that is not a complete, valid JPEG; the
  // image keeps its previous content then.
  void LoadFromData(const QByteArray& data);
  void LoadFromFile(const QString& fileName);
  const QImage& Image() const { return fImage; }

 private:
  QImage fImage;
};

// Whether `data` starts like a JPEG stream.
bool LooksLikeJpeg(const QByteArray& data);
// The decoder itself; raises EInvalidGraphic.
QImage DecodeJpeg(const QByteArray& data);
