#pragma once
// The pictures a control can show: a bitmap copied pixel for pixel, or
// another graphic (a JPEG) that is only ever drawn scaled into a rectangle.
#include <QImage>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

#include "framework/qs_exception.h"

class QPainter;

// A picture file that cannot be read or decoded.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  // Bitmaps are copied 1:1 and may have a transparent colour; other
  // graphics are always drawn scaled.
  virtual bool IsBitmap() const { return false; }
  virtual void Draw(QPainter& painter, const QRect& dest) const = 0;
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
};

class TBitmap : public TGraphic {
 public:
  TBitmap() = default;
  explicit TBitmap(QImage image) : fImage(std::move(image)) {}
  int Width() const override { return fImage.width(); }
  int Height() const override { return fImage.height(); }
  bool IsBitmap() const override { return true; }
  void Draw(QPainter& painter, const QRect& dest) const override;
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TBitmap>(fImage); }
  const QImage& Image() const { return fImage; }
  // The colour taken as transparent: the bottom-left pixel, as bitmaps
  // designed on a plain background expect.
  QColor TransparentColor() const;

 private:
  QImage fImage;
};

// Owns at most one graphic and tells its owner about every change.
class TPicture {
 public:
  TPicture() = default;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  const TGraphic* Graphic() const { return fGraphic.get(); }
  const TBitmap* Bitmap() const { return fGraphic && fGraphic->IsBitmap() ? static_cast<const TBitmap*>(fGraphic.get()) : nullptr; }
  int Width() const { return fGraphic ? fGraphic->Width() : 0; }
  int Height() const { return fGraphic ? fGraphic->Height() : 0; }

  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  void Assign(const TPicture& other);
  void Clear() { SetGraphic(nullptr); }
  // JPEG files (recognised by their content) become TJPEGImage, everything
  // Qt reads becomes a TBitmap. Raises EInvalidGraphic; the picture is left
  // as it was then.
  void LoadFromFile(const QString& fileName);

  void SetOnChange(std::function<void()> handler) { fOnChange = std::move(handler); }

 private:
  std::unique_ptr<TGraphic> fGraphic;
  std::function<void()> fOnChange;
};
