#include <QPainter>

#include "controls/qs_Buttons.h"
#include "controls/qs_Graphics.h"

namespace {

TGlyphCache* gGlyphCache = nullptr;

QColor BottomLeft(const QImage& image) { return image.pixelColor(0, image.height() - 1); }

QImage Masked(const QImage& image, const QColor& mask) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  // A see-through key pixel means the image carries its own mask: keying
  // its colour would also cut out opaque pixels of that colour.
  if (!mask.isValid() || mask.alpha() != 255) return out;
  const QRgb key = mask.rgb() & 0xFFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if (qAlpha(line[x]) == 255 && (line[x] & 0xFFFFFF) == key) line[x] = 0;
  }
  return out;
}

}  // namespace

// ------------------------------------------------------------- glyph list

int TGlyphList::AddMasked(const QImage& image, const QColor& mask) {
  int index = 0;
  while (index < fUsed.size() && fUsed.testBit(index)) ++index;
  if (index == fUsed.size()) {
    fUsed.resize(index + 1);
    fImages.resize(index + 1);
  }
  fUsed.setBit(index);
  fImages[index] = Masked(image, mask);
  ++fCount;
  return index;
}

void TGlyphList::Delete(int index) {
  if (index < 0 || index >= fUsed.size() || !fUsed.testBit(index)) return;
  fUsed.clearBit(index);
  fImages[index] = QImage();
  --fCount;
}

// ------------------------------------------------------------ glyph cache

TGlyphList* TGlyphCache::GetList(int width, int height) {
  for (auto it = fLists.rbegin(); it != fLists.rend(); ++it)
    if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
  fLists.push_back(std::make_unique<TGlyphList>(width, height));
  return fLists.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
  if (!list || list->Count() > 0) return;
  for (auto it = fLists.begin(); it != fLists.end(); ++it)
    if (it->get() == list) {
      fLists.erase(it);
      return;
    }
}

TGlyphCache* TGlyphCache::Instance() { return gGlyphCache; }

TGlyphCache& TGlyphCache::Acquire() {
  if (!gGlyphCache) gGlyphCache = new TGlyphCache;
  return *gGlyphCache;
}

void TGlyphCache::ReleaseIfEmpty() {
  if (gGlyphCache && gGlyphCache->Empty()) {
    delete gGlyphCache;
    gGlyphCache = nullptr;
  }
}

// ------------------------------------------------------------ button glyph

TButtonGlyph::~TButtonGlyph() {
  Invalidate();
  TGlyphCache::ReleaseIfEmpty();
}

void TButtonGlyph::Invalidate() {
  for (int& index : fIndexs) {
    if (index != -1 && fGlyphList) fGlyphList->Delete(index);
    index = -1;
  }
  if (fGlyphList && TGlyphCache::Instance()) TGlyphCache::Instance()->ReturnList(fGlyphList);
  fGlyphList = nullptr;
}

void TButtonGlyph::SetGlyph(const QImage& value) {
  Invalidate();
  fOriginal = value;
  if (value.height() > 0) {
    fTransparentColor = BottomLeft(value);
    if (value.width() % value.height() == 0) {
      const int n = value.width() / value.height();
      fNumGlyphs = n < 5 ? n : 1;
    }
  }
  Changed();
}

void TButtonGlyph::SetNumGlyphs(int value) {
  if (value > 4) value = 4;
  if (value <= 0 || value == fNumGlyphs) return;
  Invalidate();
  fNumGlyphs = value;
  Changed();
}

QSize TButtonGlyph::ImageSize() const {
  if (fOriginal.isNull() || fOriginal.height() <= 0) return {0, 0};
  return {fOriginal.width() / fNumGlyphs, fOriginal.height()};
}

int TButtonGlyph::CreateButtonGlyph(TButtonState state) {
  if (state == bsDown && fNumGlyphs < 3) state = bsUp;
  if (fIndexs[state] != -1) return fIndexs[state];
  const QSize size = ImageSize();
  if (size.width() <= 0 || size.height() <= 0) return -1;
  if (!fGlyphList) fGlyphList = TGlyphCache::Acquire().GetList(size.width(), size.height());
  const int source = int(state) < fNumGlyphs ? int(state) : 0;
  QImage image = fOriginal.copy(source * size.width(), 0, size.width(), size.height()).convertToFormat(QImage::Format_ARGB32);
  const QColor face = SysColor(TSysColor::BtnFace);
  if (state != bsDisabled) {
    fIndexs[state] = fGlyphList->AddMasked(image, fTransparentColor);
  } else if (fNumGlyphs > 1) {
    // A designed disabled image: recoloured to the current 3D colours.
    const QRgb key = fTransparentColor.rgb() & 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb px = image.pixel(x, y);
        if (qAlpha(px) == 0) continue;
        const QRgb rgb = px & 0xFFFFFF;
        if (rgb == 0xFFFFFF)
          image.setPixelColor(x, y, SysColor(TSysColor::BtnHighlight));
        else if (rgb == 0x808080)
          image.setPixelColor(x, y, SysColor(TSysColor::BtnShadow));
        else if (rgb == key && fTransparentColor.alpha() == 255)
          image.setPixelColor(x, y, face);
      }
    fIndexs[state] = fGlyphList->AddMasked(image, face);  // where the transparent pixels went
  } else {
    // Embossed from the glyph's shape: highlight below-right, shadow on top.
    QImage mask(size, QImage::Format_ARGB32);
    mask.fill(Qt::transparent);
    const QImage source = Masked(image, fTransparentColor);
    QImage shape = source;
    for (int y = 0; y < shape.height(); ++y)
      for (int x = 0; x < shape.width(); ++x) shape.setPixel(x, y, qAlpha(source.pixel(x, y)) >= 128 ? 0xFF000000 : 0);
    const auto tinted = [&](const QColor& c) {
      QImage t = shape;
      QPainter tp(&t);
      tp.setCompositionMode(QPainter::CompositionMode_SourceIn);
      tp.fillRect(t.rect(), c);
      return t;
    };
    QPainter p(&mask);
    p.drawImage(1, 1, tinted(SysColor(TSysColor::BtnHighlight)));
    p.drawImage(0, 0, tinted(SysColor(TSysColor::BtnShadow)));
    p.end();
    fIndexs[state] = fGlyphList->AddMasked(mask, QColor());  // already transparent around
  }
  return fIndexs[state];
}

const QImage* TButtonGlyph::StateImage(TButtonState state) {
  const int index = CreateButtonGlyph(state);
  return index < 0 ? nullptr : &fGlyphList->Image(index);
}
