#include <QEnterEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include "controls/qs_Buttons.h"
#include "controls/qs_Graphics.h"

TqsSpeedButton::TqsSpeedButton(QWidget* parent) : QWidget(parent) {
  EnsureFormFonts();
  fColor = SysColor(TSysColor::BtnFace);
  fFontColor = SysColor(TSysColor::WindowText);
  resize(22, 23);
  setAttribute(Qt::WA_Hover, false);
  fGlyph.SetOnChange([this] { update(); });
}

#define QS_BUTTON_SETTER(Name, field)                      \
  void TqsSpeedButton::Set##Name(decltype(field) value) {  \
    if (field == value) return;                            \
    field = value;                                         \
    update();                                              \
  }
QS_BUTTON_SETTER(Flat, fFlat)
QS_BUTTON_SETTER(Layout, fLayout)
QS_BUTTON_SETTER(Spacing, fSpacing)
QS_BUTTON_SETTER(WithBorder, fWithBorder)
#undef QS_BUTTON_SETTER

void TqsSpeedButton::SetColor(const QColor& value) {
  if (fColor == value) return;
  fColor = value;
  update();
}

void TqsSpeedButton::SetFontColor(const QColor& value) {
  if (fFontColor == value) return;
  fFontColor = value;
  update();
}

void TqsSpeedButton::SetMargin(int value) {
  if (value == fMargin || value < -1) return;
  fMargin = value;
  update();
}

void TqsSpeedButton::SetTransparent(bool value) {
  if (value == fTransparent) return;
  fTransparent = value;
  setAttribute(Qt::WA_OpaquePaintEvent, !value);
  update();
}

void TqsSpeedButton::SetCaption(const QString& value) {
  if (value == fCaption) return;
  fCaption = value;
  UpdateAccelerator();
  update();
}

void TqsSpeedButton::SetAllowAllUp(bool value) {
  if (value == fAllowAllUp) return;
  fAllowAllUp = value;
  UpdateExclusive();
}

void TqsSpeedButton::SetGroupIndex(int value) {
  if (value == fGroupIndex) return;
  fGroupIndex = value;
  UpdateExclusive();
}

void TqsSpeedButton::SetDown(bool value) {
  if (fGroupIndex == 0) value = false;
  if (value == fDown) return;
  // A down button of a group cannot be raised by itself.
  if (fDown && !fAllowAllUp) return;
  fDown = value;
  if (value) {
    if (fState == bsUp) update();
    fState = bsExclusive;
    update();
    UpdateExclusive();
  } else {
    fState = bsUp;
    repaint();
  }
}

void TqsSpeedButton::UpdateExclusive() {
  if (fGroupIndex == 0 || !parentWidget()) return;
  for (QObject* child : parentWidget()->children())
    if (auto* button = qobject_cast<TqsSpeedButton*>(child)) button->ButtonPressed(fGroupIndex, this);
}

void TqsSpeedButton::ButtonPressed(int groupIndex, TqsSpeedButton* sender) {
  if (groupIndex != fGroupIndex || sender == this) return;
  if (sender->fDown && fDown) {
    fDown = false;
    fState = bsUp;
    update();
  }
  fAllowAllUp = sender->fAllowAllUp;
}

void TqsSpeedButton::Click() {
  if (fOnClick) fOnClick(this);
}

void TqsSpeedButton::Loaded() { fGlyph.CreateButtonGlyph(isEnabled() ? bsUp : bsDisabled); }

void TqsSpeedButton::UpdateAccelerator() {
  delete fShortcut;
  fShortcut = nullptr;
  const QKeySequence key = QKeySequence::mnemonic(fCaption);
  if (key.isEmpty()) return;
  fShortcut = new QShortcut(key, this);
  fShortcut->setContext(Qt::WindowShortcut);
  connect(fShortcut, &QShortcut::activated, this, [this] {
    if (isEnabled() && isVisible() && parentWidget() && parentWidget()->isVisible()) Click();
  });
}

TqsSpeedButton::TLayoutResult TqsSpeedButton::CalcLayout(const QRect& client, const QPoint& offset) const {
  TButtonLayout layout = fLayout;
  if (layoutDirection() == Qt::RightToLeft) {
    if (layout == blGlyphLeft)
      layout = blGlyphRight;
    else if (layout == blGlyphRight)
      layout = blGlyphLeft;
  }
  const int extra = fWithBorder ? 0 : 1;
  const QSize area(client.width() + extra, client.height() + extra);
  const QSize g = fGlyph.ImageSize();
  QSize t(0, 0);
  if (!fCaption.isEmpty()) t = fontMetrics().size(Qt::TextShowMnemonic, fCaption);

  QPoint glyph, text;
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  if (horizontal) {
    glyph.setY((area.height() - g.height()) / 2);
    text.setY((area.height() - t.height()) / 2);
  } else {
    glyph.setX((area.width() - g.width()) / 2);
    text.setX((area.width() - t.width()) / 2);
  }
  int spacing = fSpacing, margin = fMargin;
  if (t.width() == 0 || g.width() == 0) spacing = 0;
  const int L = horizontal ? area.width() : area.height();
  const int G = horizontal ? g.width() : g.height();
  const int T = horizontal ? t.width() : t.height();
  if (margin == -1) {
    if (spacing == -1) {
      margin = (L - G - T) / 3;
      spacing = margin;
    } else {
      margin = (L - (G + spacing + T) + 1) / 2;
    }
  } else if (spacing == -1) {
    spacing = (L - margin - G - T) / 2;
  }
  switch (layout) {
    case blGlyphLeft:
      glyph.setX(margin);
      text.setX(glyph.x() + g.width() + spacing);
      break;
    case blGlyphRight:
      glyph.setX(area.width() - margin - g.width());
      text.setX(glyph.x() - spacing - t.width());
      break;
    case blGlyphTop:
      glyph.setY(margin);
      text.setY(glyph.y() + g.height() + spacing);
      break;
    case blGlyphBottom:
      glyph.setY(area.height() - margin - g.height());
      text.setY(glyph.y() - spacing - t.height());
      break;
  }
  return {glyph + client.topLeft() + offset, QRect(client.topLeft() + text + offset, t)};
}

void TqsSpeedButton::paintEvent(QPaintEvent*) {
  if (isEnabled()) {
    if (fState == bsDisabled) fState = fDown && fGroupIndex != 0 ? bsExclusive : bsUp;
  } else {
    fState = bsDisabled;
    fDragging = false;
  }
  QPainter p(this);
  p.setFont(font());
  QRect r = rect();
  const bool pressed = fState == bsDown || fState == bsExclusive;
  if (fFlat) {
    if (pressed || (fHot && fState != bsDisabled)) {
      DrawFlatEdge(p, r, pressed);
      if (!fTransparent) p.fillRect(r.adjusted(1, 1, -1, -1), fColor);
    } else if (!fTransparent) {
      p.fillRect(r, fColor);
    }
    r.adjust(1, 1, -1, -1);
  } else if (fWithBorder) {
    r = DrawPushButtonFrame(p, r, pressed);
    if (!fTransparent) p.fillRect(r, fColor);
  } else if (!fTransparent) {
    p.fillRect(r, fColor);
  }
  const QPoint offset = pressed ? QPoint(1, 1) : QPoint(0, 0);
  if (fState == bsExclusive && !(fFlat && fHot)) {
    p.fillRect(r, SysColor(TSysColor::BtnFace));
    p.fillRect(r, QBrush(SysColor(TSysColor::BtnHighlight), Qt::Dense4Pattern));
  }
  const TLayoutResult layout = CalcLayout(r, offset);
  if (const QImage* image = fGlyph.StateImage(fState)) {
    if (fTransparent || fState == bsExclusive) {
      p.drawImage(layout.glyphPos - QPoint(1, 1), *image);
    } else {
      p.fillRect(QRect(layout.glyphPos, image->size()), SysColor(TSysColor::BtnFace));
      p.drawImage(layout.glyphPos, *image);
    }
  }
  if (!fCaption.isEmpty()) {
    const int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (fState == bsDisabled) {
      p.setPen(SysColor(TSysColor::BtnHighlight));
      p.drawText(layout.textRect.translated(1, 1), flags, fCaption);
      p.setPen(SysColor(TSysColor::BtnShadow));
    } else {
      p.setPen(fFontColor);
    }
    p.drawText(layout.textRect, flags, fCaption);
  }
}

void TqsSpeedButton::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::EnabledChange:
      if (!isEnabled()) fHot = false;
      fState = isEnabled() ? (fDown && fGroupIndex != 0 ? bsExclusive : bsUp) : bsDisabled;
      fGlyph.CreateButtonGlyph(isEnabled() ? bsUp : bsDisabled);
      update();
      break;
    case QEvent::FontChange:
      update();
      break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
      // State images carry the 3D colours; make them again.
      fGlyph.Invalidate();
      update();
      break;
    default:
      break;
  }
  QWidget::changeEvent(event);
}

bool TqsSpeedButton::Inside(const QPoint& p) const {
  return p.x() >= 0 && p.x() < width() && p.y() >= 0 && p.y() <= height();
}

void TqsSpeedButton::UpdateTracking(const QPoint& pos) {
  if (!fFlat || !isEnabled()) return;
  const bool hot = rect().contains(pos);
  if (hot != fHot) {
    fHot = hot;
    update();
  }
}

void TqsSpeedButton::enterEvent(QEnterEvent* event) {
  if (fFlat && isEnabled() && !fHot && !fDragging) {
    fHot = true;
    update();
  }
  QWidget::enterEvent(event);
}

void TqsSpeedButton::leaveEvent(QEvent* event) {
  if (fFlat && fHot && isEnabled() && !fDragging) {
    fHot = false;
    update();
  }
  QWidget::leaveEvent(event);
}

void TqsSpeedButton::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton && isEnabled()) {
    if (!fDown) {
      fState = bsDown;
      update();
    }
    fDragging = true;
  }
  if (fOnMouseDown) fOnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TqsSpeedButton::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (fDragging) {
    TButtonState state = fDown ? bsExclusive : bsUp;
    if (Inside(pos)) state = fDown ? bsExclusive : bsDown;
    if (state != fState) {
      fState = state;
      update();
    }
  } else if (fFlat && !fHot) {
    UpdateTracking(pos);
  }
  if (fOnMouseMove) fOnMouseMove(this, event->modifiers(), pos.x(), pos.y());
}

void TqsSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (fOnMouseUp) fOnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
  if (event->button() != Qt::LeftButton || !fDragging) return;
  fDragging = false;
  const bool inside = Inside(pos);
  if (fGroupIndex == 0) {
    fState = bsUp;
    fHot = false;
    if (inside) update();
  } else if (inside) {
    SetDown(!fDown);
    if (fDown) update();
  } else {
    if (fDown) fState = bsExclusive;
    update();
  }
  if (inside) Click();
  UpdateTracking(pos);
}

void TqsSpeedButton::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
  if (fDown && fOnDblClick) fOnDblClick(this);
}
