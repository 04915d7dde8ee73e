#include <QEnterEvent>
#include <QFontMetrics>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include <cmath>

#include "controls/qs_Component.h"
#include "controls/qs_Graphics.h"
#include "framework/qs_application.h"
#include "framework/qs_tools.h"

namespace {

int QtFlags(int flags) {
  int qt = Qt::AlignTop;
  if (flags & dt::kCenter)
    qt |= Qt::AlignHCenter;
  else if (flags & dt::kRight)
    qt |= Qt::AlignRight;
  else
    qt |= Qt::AlignLeft;
  if ((flags & dt::kWordBreak) && !(flags & dt::kSingleLine)) qt |= Qt::TextWordWrap;
  if (flags & dt::kSingleLine) qt |= Qt::TextSingleLine;
  if (flags & dt::kExpandTabs) qt |= Qt::TextExpandTabs;
  if (!(flags & dt::kNoPrefix)) qt |= Qt::TextShowMnemonic;
  return qt;
}

}  // namespace

TqsCustomLabel::TqsCustomLabel(QWidget* parent) : QWidget(parent) {
  EnsureFormFonts();
  fColor = SysColor(TSysColor::BtnFace);
  fFontColor = SysColor(TSysColor::WindowText);
  resize(65, 17);
}

void TqsCustomLabel::SetCaption(const QString& value) {
  if (value == fCaption) return;
  fCaption = value;
  UpdateAccelerator();
  update();
  AdjustBounds();
}

void TqsCustomLabel::SetFocusControl(QWidget* value) {
  fFocusControl = value;  // QPointer forgets a destroyed control
  UpdateAccelerator();
}

#define QS_SETTER(Name, field)          \
  void TqsCustomLabel::Set##Name(decltype(field) value) { \
    if (field == value) return;         \
    field = value;                      \
    update();                           \
  }
QS_SETTER(Alignment, fAlignment)
QS_SETTER(Layout, fLayout)
QS_SETTER(Options, fOptions)
QS_SETTER(BorderStyle, fBorderStyle)
QS_SETTER(BorderWidth, fBorderWidth)
#undef QS_SETTER

void TqsCustomLabel::SetShowAccelChar(bool value) {
  if (fShowAccelChar == value) return;
  fShowAccelChar = value;
  UpdateAccelerator();
  update();
}

void TqsCustomLabel::SetShadowX(int value) {
  value = std::abs(static_cast<qint8>(value));
  if (fShadowX == value) return;
  fShadowX = value;
  update();
}

void TqsCustomLabel::SetShadowY(int value) {
  value = std::abs(static_cast<qint8>(value));
  if (fShadowY == value) return;
  fShadowY = value;
  update();
}

void TqsCustomLabel::SetAutoSize(bool value) {
  if (fAutoSize == value) return;
  fAutoSize = value;
  AdjustBounds();
}

void TqsCustomLabel::SetWordWrap(bool value) {
  if (fWordWrap == value) return;
  fWordWrap = value;
  AdjustBounds();
  update();
}

void TqsCustomLabel::SetRotation(int degrees) {
  const qint64 tenths = qint64(degrees) * 10;
  if (tenths < -1800 || tenths > 1800 || tenths == fRotation) return;
  fRotation = int(tenths);
  update();
}

void TqsCustomLabel::SetWeight(int value) {
  const qint64 weight = qint64(value) * 100;
  if (weight < 0 || weight > 1000 || weight == fWeight) return;
  fWeight = int(weight);
  PrepareFont();
  update();
}

void TqsCustomLabel::SetTransparent(bool value) {
  if (fOpaque == !value) return;
  fOpaque = !value;
  update();
}

void TqsCustomLabel::SetColor(const QColor& value) {
  if (fColor == value) return;
  fColor = value;
  update();
}

void TqsCustomLabel::SetFontColor(const QColor& value) {
  if (fFontColor == value) return;
  fFontColor = value;
  update();
}

void TqsCustomLabel::Loaded() {
  fLoading = false;
  AdjustBounds();
}

void TqsCustomLabel::PrepareFont() {
  // Escapement lives in fRotation (Qt fonts have none); only the weight
  // needs a new font.
  if (fWeight > 0 && font().weight() != fWeight) {
    QFont f = font();
    f.setWeight(QFont::Weight(fWeight));
    setFont(f);
  }
}

QPoint TqsCustomLabel::RotatedStart(const QRect& r, int tenths, int h) {
  const int d = std::abs(int(std::trunc(std::sin(tenths * M_PI / 1800.0) * h)) / 2);
  const int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
  if (tenths >= 0 && tenths <= 900) return {left - d, bottom + d - h};
  if (tenths > 900) return {right - d, bottom - d};
  if (tenths >= -900) return {left, top};
  return {right, top};
}

void TqsCustomLabel::DrawPass(QPainter* painter, QRect& rect, int flags, const QString& text, const QColor& color) const {
  const bool measuring = flags & dt::kCalcRect;
  const QFontMetrics fm = painter ? painter->fontMetrics() : fontMetrics();
  const int qt = QtFlags(flags);
  if (measuring) {
    QSize size;
    if (qt & Qt::TextWordWrap)
      size = fm.boundingRect(QRect(rect.left(), rect.top(), std::max(1, rect.width()), 1 << 20), qt, text).size();
    else
      size = fm.size(qt, text);
    rect.setSize(size);
    return;
  }
  if (!painter) return;
  painter->save();
  painter->setPen(color);
  if (fRotation == 0) {
    painter->drawText(rect, qt, text);
  } else {
    const QPoint start = RotatedStart(rect, fRotation, fm.height());
    painter->translate(start);
    painter->rotate(-fRotation / 10.0);
    painter->drawText(QPoint(0, fm.ascent()), text);
  }
  painter->restore();
}

void TqsCustomLabel::DoDrawText(QPainter* painter, QRect& rect, int flags) const {
  const bool measuring = flags & dt::kCalcRect;
  if (fRotation != 0) flags |= dt::kSingleLine;
  QString text = fCaption;
  if (measuring && (text.isEmpty() || (fShowAccelChar && text == QStringLiteral("&")))) text += QLatin1Char(' ');
  text = QLatin1Char(' ') + text + QLatin1Char(' ');
  if (!fShowAccelChar) flags |= dt::kNoPrefix;
  const QColor shadow = SysColor(TSysColor::BtnShadow);
  if (isEnabled()) {
    if (!(fOptions & loShadow)) {
      DrawPass(painter, rect, flags, text, fFontColor);
    } else if (measuring) {
      DrawPass(painter, rect, flags, text, fFontColor);
      rect.adjust(0, 0, fShadowX, fShadowY);
    } else {
      int sx = fShadowX, sy = fShadowY, tx = 0;
      if (fAlignment == taRightJustify) {
        tx = -fShadowX;
        sx = 0;
      } else if (fAlignment == taCenter) {
        sx = fShadowX / 2;
        tx = -(fShadowX / 2);
      }
      QRect s = rect.translated(sx, sy), t = rect.translated(tx, 0);
      DrawPass(painter, s, flags, text, shadow);
      DrawPass(painter, t, flags, text, fFontColor);
    }
  } else if (measuring) {
    DrawPass(painter, rect, flags, text, fFontColor);
    rect.adjust(0, 0, 1, 1);
  } else {
    QRect h = rect.translated(1, 1);
    DrawPass(painter, h, flags, text, SysColor(TSysColor::BtnHighlight));
    DrawPass(painter, rect, flags, text, shadow);
  }
}

QSize TqsCustomLabel::TextBlockSize(const QRect& rect, int flags) const {
  QRect m = rect;
  DoDrawText(nullptr, m, flags | dt::kCalcRect);
  const double c = std::cos(fRotation * M_PI / 1800.0);
  return {std::abs(int(std::trunc(m.width() * c))), std::abs(int(std::trunc(m.height() * c)))};
}

void TqsCustomLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRect rect = this->rect();
  if (fOpaque) p.fillRect(rect, fColor);
  PrepareFont();
  p.setFont(font());
  if (fBorderStyle != lbsNone) {
    QColor tl = Qt::black, br = Qt::black;
    if (fBorderStyle == lbsSunken) {
      tl = SysColor(TSysColor::BtnShadow);
      br = SysColor(TSysColor::BtnHighlight);
    } else if (fBorderStyle == lbsRaise) {
      tl = SysColor(TSysColor::BtnHighlight);
      br = SysColor(TSysColor::BtnShadow);
    }
    for (int i = 0; i < fBorderWidth; ++i) DrawFrameLines(p, rect.adjusted(i, i, -i, -i), tl, br);
  }
  const int bw = fBorderWidth;
  rect.adjust(bw, bw, -bw, -bw);
  if (fBorderStyle != lbsNone) rect.adjust(bw, bw, -bw, -bw);

  const int align = fAlignment == taRightJustify ? dt::kRight : fAlignment == taCenter ? dt::kCenter : dt::kLeft;
  const int flags = (fWordWrap ? dt::kWordBreak : 0) | dt::kExpandTabs | align;
  const QSize block = TextBlockSize(rect, flags);
  int left = rect.left(), top = rect.top(), right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
  const int b = block.height(), c = block.width();
  if (fLayout == tlTop) {
    bottom = top + b;
  } else if (fLayout == tlCenter) {
    const int shift = ((bottom - top) - b) / 2;
    top += shift;
    bottom -= shift;
  } else {
    top = bottom - b;
  }
  if (fAlignment == taLeftJustify) {
    right = left + c;
  } else if (fAlignment == taRightJustify) {
    left = right - c;
  } else {
    const int shift = ((right - left) - c) / 2;
    left += shift;
    right -= shift;
  }
  QRect textRect(QPoint(left, top), QSize(right - left, bottom - top));
  DoDrawText(&p, textRect, flags);
}

void TqsCustomLabel::AdjustBounds() {
  if (!fAutoSize || fLoading) return;
  QRect r(0, 0, width(), height());
  DoDrawText(nullptr, r, (fWordWrap ? dt::kWordBreak : 0) | dt::kExpandTabs | dt::kCalcRect);
  const int w = r.left() + r.width(), h = r.top() + r.height();
  int x = this->x();
  if (fAlignment == taRightJustify) x = x + width() - w;
  setGeometry(x, y(), w, h);
}

void TqsCustomLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    PrepareFont();  // a new font keeps the label's explicit weight
    AdjustBounds();
  }
  if (event->type() == QEvent::EnabledChange) update();
  QWidget::changeEvent(event);
}

void TqsCustomLabel::UpdateAccelerator() {
  delete fShortcut;
  fShortcut = nullptr;
  if (!fFocusControl || !fShowAccelChar) return;
  const QKeySequence key = QKeySequence::mnemonic(fCaption);
  if (key.isEmpty()) return;
  fShortcut = new QShortcut(key, this);
  fShortcut->setContext(Qt::WindowShortcut);
  connect(fShortcut, &QShortcut::activated, this, [this] {
    if (!isEnabled() || !fShowAccelChar || !fFocusControl) return;
    if (fFocusControl->isEnabled() && fFocusControl->focusPolicy() != Qt::NoFocus)
      fFocusControl->setFocus(Qt::ShortcutFocusReason);
  });
}

void TqsCustomLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) fPressed = true;
  const QPoint pos = event->position().toPoint();
  if (fOnMouseDown) fOnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TqsCustomLabel::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const bool click = event->button() == Qt::LeftButton && fPressed && rect().contains(pos);
  if (event->button() == Qt::LeftButton) fPressed = false;
  if (fOnMouseUp) fOnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
  if (click) Click();
}

void TqsCustomLabel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (fOnMouseMove) fOnMouseMove(this, event->modifiers(), pos.x(), pos.y());
}

void TqsCustomLabel::mouseDoubleClickEvent(QMouseEvent*) {
  if (fOnDblClick) fOnDblClick(this);
}

void TqsCustomLabel::Click() {
  if (fOnClick) fOnClick(this);
}

// ------------------------------------------------------------------ links

QString LinkPrefix(TLinkKind kind) {
  switch (kind) {
    case lkNone: return {};
    case lkHttp: return QStringLiteral("http:\\\\");
    case lkFile: return QStringLiteral("file:");
    case lkMailTo: return QStringLiteral("mailto:");
    case lkFtp: return QStringLiteral("ftp:");
    case lkHttps: return QStringLiteral("https:");
    case lkGopher: return QStringLiteral("gopher:");
    case lkNntp: return QStringLiteral("nntp:");
    case lkProspero: return QStringLiteral("prospero:");
    case lkTelNet: return QStringLiteral("telnet:");
    case lkNews: return QStringLiteral("news:");
    case lkWais: return QStringLiteral("wais:");
  }
  return {};
}

TqsLabelLink::TqsLabelLink(QWidget* parent) : TqsLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  SetFontColor(QColor(0x00, 0x00, 0xFF));
  fFontOver = font();
  fFontOver.setUnderline(true);
  fFontOverColor = FontColor();
}

void TqsLabelLink::enterEvent(QEnterEvent* event) {
  if (!fSavedFont) {
    fSavedFont = std::make_unique<QFont>(font());
    fSavedColor = FontColor();
  }
  setFont(fFontOver);
  SetFontColor(fFontOverColor);
  TqsLabel::enterEvent(event);
}

void TqsLabelLink::leaveEvent(QEvent* event) {
  if (fSavedFont) {
    setFont(*fSavedFont);
    SetFontColor(fSavedColor);
    fSavedFont.reset();
  }
  TqsLabel::leaveEvent(event);
}

void TqsLabelLink::Click() {
  TqsLabel::Click();
  Execute();
}

void TqsLabelLink::Execute() {
  QString prefix = LinkPrefix(fLinkKind);
  QString link = Caption();
  if (fOnExecute) fOnExecute(this, prefix, link);
  // A link that does not open must not look as if it had.
  try {
    ShellOpen(prefix + link);
  } catch (const EToolsError& e) {
    ReportErrorLater(e.Message());
  }
}
