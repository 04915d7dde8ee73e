#include <QPainter>

#include <cmath>

#include "controls/qs_Component.h"
#include "controls/qs_Graphics.h"

namespace {

QImage WithColourReplaced(const QImage& source, const QColor& from, const QColor& to) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = from.rgb() & 0xFFFFFF, fill = to.rgba();
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xFFFFFF) == key) line[x] = fill;
  }
  return image;
}

}  // namespace

bool ShouldStretch(TStretchMode mode, int w, int h, int W, int H) {
  switch (mode) {
    case smNone: return false;
    case smReduce: return h > H || w > W;
    case smInflate: return h < H && w < W;
    case smBoth: return true;
  }
  return false;
}

QRect FitPicture(int w, int h, const QRect& d, TAlignment horizontal, TVAlignment vertical) {
  const int W = d.width(), H = d.height();
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return {};
  const double r = double(h) / double(w);
  int fw = W, fh = H;
  if (double(H) / double(W) > r)
    fh = int(std::trunc(W * r));
  else
    fw = int(std::trunc(H / r));
  int left = d.left(), top = d.top();
  if (horizontal == taRightJustify)
    left = d.left() + W - fw;
  else if (horizontal == taCenter)
    left += (W - fw) / 2;
  if (vertical == tvaBottomJustify)
    top = d.top() + H - fh;
  else if (vertical == tvaCenter)
    top += (H - fh) / 2;
  return {left, top, fw, fh};
}

TqsPanelPicture::TqsPanelPicture(QWidget* parent) : QWidget(parent) {
  fColor = SysColor(TSysColor::BtnFace);
  fPicture.SetOnChange([this] { PictureChanged(); });
  resize(185, 41);
}

void TqsPanelPicture::SetCaption(const QString& value) {
  if (fCaption == value) return;
  fCaption = value;
  update();
}

#define QS_PANEL_SETTER(Name, field)                          \
  void TqsPanelPicture::Set##Name(decltype(field) value) {    \
    if (field == value) return;                               \
    field = value;                                            \
    update();                                                 \
  }
QS_PANEL_SETTER(Alignment, fAlignment)
QS_PANEL_SETTER(BevelInner, fBevelInner)
QS_PANEL_SETTER(BevelOuter, fBevelOuter)
QS_PANEL_SETTER(BevelWidth, fBevelWidth)
QS_PANEL_SETTER(BorderWidth, fBorderWidth)
QS_PANEL_SETTER(Stretch, fStretch)
QS_PANEL_SETTER(AlignmentVert, fAlignmentVert)
#undef QS_PANEL_SETTER

void TqsPanelPicture::SetColor(const QColor& value) {
  if (fColor == value) return;
  fColor = value;
  update();
}

void TqsPanelPicture::SetTransparentColor(const QColor& value) {
  if (fTransparentColor == value) return;
  fTransparentColor = value;
  update();
}

void TqsPanelPicture::SetTransparent(bool value) {
  // Only a bitmap has a colour to leave out, and only a placed panel shows
  // what lies behind it.
  const bool stored = value && fPicture.Bitmap() && parentWidget();
  if (fTransparent == stored) return;
  fTransparent = stored;
  update();
}

void TqsPanelPicture::SetAutoSize(bool value) {
  if (fAutoSize == value) return;
  fAutoSize = value;
  PictureChanged();
}

void TqsPanelPicture::PictureChanged() {
  const int w = fPicture.Width(), h = fPicture.Height();
  if (fAutoSize && w > 0 && h > 0) setGeometry(x(), y(), w, h);
  setAttribute(Qt::WA_OpaquePaintEvent, fPicture.Bitmap() && w == width() && h == height());
  update();
}

QRect TqsPanelPicture::TargetRect() const {
  int inset = fBorderWidth;
  if (fBevelOuter != bvNone) inset += fBevelWidth;
  if (fBevelInner != bvNone) inset += fBevelWidth;
  return rect().adjusted(inset, inset, -inset, -inset);
}

QRect TqsPanelPicture::PictureRect() const {
  const TGraphic* graphic = fPicture.Graphic();
  if (!graphic || graphic->Empty()) return {};
  const QRect d = TargetRect();
  const int w = graphic->Width(), h = graphic->Height(), W = d.width(), H = d.height();
  if (ShouldStretch(fStretch, w, h, W, H)) return FitPicture(w, h, d, fAlignment, fAlignmentVert);
  int left = d.left(), top = d.top();
  const int right = d.left() + W, bottom = d.top() + H;
  if (fAlignment == taRightJustify)
    left = std::max(d.left(), right - w);
  else if (fAlignment == taCenter)
    left += std::max(0, (W - w) / 2);
  if (fAlignmentVert == tvaBottomJustify)
    top = std::max(d.top(), bottom - h);
  else if (fAlignmentVert == tvaCenter)
    top += std::max(0, (H - h) / 2);
  return {left, top, std::min(right, left + w) - left, std::min(bottom, top + h) - top};
}

void TqsPanelPicture::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // The panel itself: bevels, border, background, caption.
  QRect r = rect();
  const auto bevel = [&](TPanelBevel kind) {
    const QColor hi = SysColor(TSysColor::BtnHighlight), sh = SysColor(TSysColor::BtnShadow);
    for (int i = 0; i < fBevelWidth; ++i) {
      DrawFrameLines(p, r, kind == bvLowered ? sh : hi, kind == bvLowered ? hi : sh);
      r.adjust(1, 1, -1, -1);
    }
  };
  if (fBevelOuter != bvNone) bevel(fBevelOuter);
  for (int i = 0; i < fBorderWidth; ++i) {
    DrawFrameLines(p, r, fColor, fColor);
    r.adjust(1, 1, -1, -1);
  }
  if (fBevelInner != bvNone) bevel(fBevelInner);
  p.fillRect(r, fColor);
  if (!fCaption.isEmpty()) {
    const int h = fAlignment == taLeftJustify ? Qt::AlignLeft : fAlignment == taRightJustify ? Qt::AlignRight : Qt::AlignHCenter;
    p.setPen(SysColor(TSysColor::WindowText));
    p.drawText(r, h | Qt::AlignVCenter | Qt::TextShowMnemonic, fCaption);
  }

  const TGraphic* graphic = fPicture.Graphic();
  if (!graphic || graphic->Empty()) return;
  const QRect d = TargetRect();
  const QRect dest = PictureRect();
  if (dest.isEmpty()) return;
  const TBitmap* bitmap = fPicture.Bitmap();
  const bool stretched = ShouldStretch(fStretch, graphic->Width(), graphic->Height(), d.width(), d.height());
  if (bitmap) {
    QImage image = bitmap->Image();
    if (!stretched) image = image.copy(0, 0, dest.width(), dest.height());
    if (fTransparent) image = WithColourReplaced(image, fTransparentColor, fColor);
    p.drawImage(dest, image);
  } else {
    graphic->Draw(p, dest);
  }
}
