#include "controls/qs_XPMenu.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QToolTip>

#include <functional>

#include <cmath>

#include "controls/qs_Graphics.h"

namespace {

int Clamp(int v) { return std::clamp(v, 0, 255); }

bool HighColor() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return !screen || screen->depth() > 15;
}

// The sub-menu arrow and the space around it, at the item's right end.
constexpr int kSubMenuArrowRoom = 12;

// The system menu font, "MS Sans Serif" replaced by "Tahoma".
QFont SystemMenuFont() {
  QFont font = QApplication::font("QMenu");
  if (font.family().compare(QStringLiteral("MS Sans Serif"), Qt::CaseInsensitive) == 0) font.setFamily(QStringLiteral("Tahoma"));
  return font;
}

QImage Tinted(const QImage& source, const QColor& color) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  p.setCompositionMode(QPainter::CompositionMode_SourceIn);
  p.fillRect(image.rect(), color);
  return image;
}

template <typename F>
QImage Recoloured(const QImage& source, F f) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(line[x])) {
        const QColor c = f(QColor::fromRgb(line[x]));
        line[x] = qRgba(c.red(), c.green(), c.blue(), qAlpha(line[x]));
      }
  }
  return image;
}

}  // namespace

QColor Lighten(const QColor& color, int percent) {
  percent = std::min(percent, 100);
  const auto up = [&](int v) { return Clamp(v + int(std::lround((255 - v) * percent / 100.0))); };
  return QColor(up(color.red()), up(color.green()), up(color.blue()));
}

QColor Shade(const QColor& color, int p) {
  return QColor(Clamp(color.red() - p), Clamp(color.green() - (p - 2)), Clamp(color.blue() - p));
}

// ------------------------------------------------------------------ style

TXPMenuStyle::TXPMenuStyle(TXPMenu* painter) : QProxyStyle(), fPainter(painter) {
  // The application style stays the owner's; this one only borrows it.
  setParent(nullptr);
}

int TXPMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  switch (metric) {
    case PM_MenuPanelWidth: return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin: return 0;
    case PM_MenuBarPanelWidth:
    case PM_MenuBarVMargin:
    case PM_MenuBarHMargin: return 0;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

QSize TXPMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                     const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (!item || (type != CT_MenuItem && type != CT_MenuBarItem))
    return QProxyStyle::sizeFromContents(type, option, size, widget);
  if (type == CT_MenuItem && item->menuItemType == QStyleOptionMenuItem::Separator) return {size.width(), 4};
  const TXPColors colors = fPainter->WorkingColors();
  Q_UNUSED(colors);
  QFont font = fPainter->UseSystemColors() ? SystemMenuFont() : fPainter->Font();
  if (item->menuItemType == QStyleOptionMenuItem::DefaultItem) font.setBold(true);
  const QFontMetrics fm(font);
  const QString caption = item->text.section(QLatin1Char('\t'), 0, 0);
  const QString shortcut = item->text.section(QLatin1Char('\t'), 1);
  QString text = caption;
  if (!shortcut.isEmpty()) text += shortcut + QStringLiteral("WWW");
  int width = fm.horizontalAdvance(text);
  if (caption.contains(QLatin1Char('&'))) width -= fm.horizontalAdvance(QLatin1Char('&'));
  const int iconSize = item->icon.isNull() ? 0 : QProxyStyle::pixelMetric(PM_SmallIconSize, option, widget);
  if (type == CT_MenuItem) {
    width += std::max(iconSize, fPainter->IconWidth());
    if (fPainter->ShowsBar(widget)) width += fPainter->EffectiveBarWidth();
    // Room for the sub-menu arrow, which the platform adds beside the
    // measured text: without it the arrow is drawn over the caption's end.
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) width += kSubMenuArrowRoom;
  } else {
    width += iconSize;
  }
  width += 10;
  int height = fm.height() + int(std::lround(0.75 * fm.height()));
  height = std::max(height, iconSize + 4);
  return {std::max(width, size.width()), std::max(height, size.height())};
}

void TXPMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
  if (element == PE_PanelMenu) {
    painter->fillRect(option->rect, fPainter->WorkingColors().background);
    return;
  }
  if (element == PE_FrameMenu) {
    painter->save();
    painter->setPen(SysColor(TSysColor::BtnShadow));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
    return;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TXPMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* p,
                               const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  const TXPColors c = fPainter->WorkingColors();
  if (element == CE_MenuEmptyArea) {
    p->fillRect(option->rect, c.background);
    return;
  }
  if (element == CE_MenuBarEmptyArea) {
    p->fillRect(option->rect, c.menuBar);
    return;
  }
  if (!item || (element != CE_MenuItem && element != CE_MenuBarItem)) {
    QProxyStyle::drawControl(element, option, p, widget);
    return;
  }
  const bool high = HighColor();
  const bool selected = item->state & State_Selected;
  const bool enabled = item->state & State_Enabled;
  QFont font = fPainter->UseSystemColors() ? SystemMenuFont() : fPainter->Font();
  if (item->menuItemType == QStyleOptionMenuItem::DefaultItem) font.setBold(true);
  const QFontMetrics fm(font);
  const QRect r = item->rect;
  const QString caption = item->text.section(QLatin1Char('\t'), 0, 0);
  const QString shortcut = item->text.section(QLatin1Char('\t'), 1);
  p->save();
  p->setFont(font);

  if (element == CE_MenuBarItem) {
    p->fillRect(r, c.menuBar);
    QColor text = enabled ? c.font : c.disabled;
    if (selected && fPainter->DrawSelect() && enabled) {
      p->fillRect(r.adjusted(0, 1, 0, -1), c.iconColumn);
      DrawFrameLines(*p, r.adjusted(0, 1, 0, -1), Shade(SysColor(TSysColor::BtnFace), 20), Shade(SysColor(TSysColor::BtnFace), 76));
      const QColor column = c.iconColumn;
      const bool light = (column.red() + column.blue()) / 2 > 150 || column.green() > 200;
      text = light ? c.font : Lighten(column, 90);
    }
    p->setPen(text);
    p->drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, caption);
    p->restore();
    return;
  }

  auto* menu = qobject_cast<QMenu*>(const_cast<QWidget*>(widget));
  const bool bar = fPainter->ShowsBar(widget);
  const int barWidth = bar ? fPainter->EffectiveBarWidth() : 0;
  const int iconWidth = fPainter->IconWidth();
  const QRect iconColumn(r.left() + barWidth, r.top(), iconWidth, r.height());
  const int iconSize = item->icon.isNull() ? 0 : QProxyStyle::pixelMetric(PM_SmallIconSize, option, widget);
  int textLeft = iconColumn.left() + iconWidth;
  if (iconSize + 4 > iconWidth) textLeft = iconColumn.left() + iconSize + 4;
  const QRect textArea(textLeft, r.top(), r.right() + 1 - textLeft, r.height());

  if (!(selected && !enabled)) {
    p->fillRect(textArea, c.background);
    p->fillRect(iconColumn, c.iconColumn);
  }
  const bool separator = item->menuItemType == QStyleOptionMenuItem::Separator;
  if (selected && fPainter->DrawSelect() && enabled && !separator) {
    const QRect box = r.adjusted(barWidth, 1, 0, -1);
    p->fillRect(box, c.select);
    p->setPen(c.selectBorder);
    p->setBrush(Qt::NoBrush);
    p->drawRect(box.adjusted(0, 0, -1, -1));
  }

  const bool checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
  const QPoint imagePos(iconColumn.left() + (iconWidth - iconSize) / 2, r.top() + 4);
  if (checked) {
    p->setRenderHint(QPainter::Antialiasing, item->checkType == QStyleOptionMenuItem::Exclusive);
    if (iconSize == 0) {
      const QRect box(iconColumn.left() + (iconWidth - 14) / 2, r.top() + (r.height() - 14) / 2, 14, 14);
      p->setBrush(selected ? c.checkSelectFill : c.checkFill);
      p->setPen(c.checked);
      if (item->checkType == QStyleOptionMenuItem::Exclusive) {
        p->drawEllipse(box.adjusted(0, 0, -1, -1));
        p->setBrush(Qt::black);
        p->setPen(Qt::NoPen);
        p->drawEllipse(box.center() + QPointF(0.5, 0.5), 2.5, 2.5);
      } else {
        p->drawRect(box.adjusted(0, 0, -1, -1));
        p->setPen(QPen(Qt::black, 1));
        for (int dy = 0; dy < 2; ++dy) {
          p->drawLine(box.left() + 3, box.top() + 6 + dy, box.left() + 5, box.top() + 8 + dy);
          p->drawLine(box.left() + 5, box.top() + 8 + dy, box.left() + 10, box.top() + 3 + dy);
        }
      }
    } else {
      const QRect frame(imagePos - QPoint(2, 2), QSize(iconSize + 4, iconSize + 4));
      p->setBrush(c.checkFill);
      p->setPen(c.selectBorder);
      if (item->checkType == QStyleOptionMenuItem::Exclusive)
        p->drawRoundedRect(frame.adjusted(0, 0, -1, -1), 3, 3);  // a 6 x 6 corner ellipse
      else
        p->drawRect(frame.adjusted(0, 0, -1, -1));
    }
    p->setRenderHint(QPainter::Antialiasing, false);
  }
  if (iconSize > 0) {
    const QImage image = item->icon.pixmap(iconSize).toImage();
    if (!enabled) {
      p->drawImage(imagePos, Recoloured(image, [](const QColor& px) {
        const int grey = std::min(240, 90 + (px.red() + px.green() + px.blue()) / 3);
        return QColor(grey, grey, grey);
      }));
    } else if (selected && !checked) {
      p->drawImage(imagePos + QPoint(2, 2), Tinted(image, Shade(c.select, 50)));
      p->drawImage(imagePos - QPoint(1, 1), image);
    } else if (!selected && high) {
      p->drawImage(imagePos, Recoloured(image, [](const QColor& px) { return Lighten(px, 30); }));
    } else {
      p->drawImage(imagePos, image);
    }
  }

  if (separator) {
    const int y = r.top() + r.height() / 2;
    p->setPen(c.separator);
    p->drawLine(textArea.left() + 7, y, textArea.right(), y);
  } else {
    QColor text = c.font;
    if (selected) text = c.selectFont;
    if (!enabled) text = c.disabled;
    const int h = fm.height();  // the height of "W": a full line of the item font
    const QRect line(textArea.left() + 5, r.top() + (r.height() - h) / 2, textArea.width() - 5, h);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextSingleLine;
    const QString shown = QLatin1Char(' ') + caption;
    if (item->menuItemType == QStyleOptionMenuItem::DefaultItem && enabled) {
      // A soft halo: four passes around the text in a colour near the
      // background.
      p->setPen(Lighten(selected ? c.select : c.background, 40));
      for (const QPoint d : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) p->drawText(line.translated(d), flags, shown);
    }
    p->setPen(text);
    p->drawText(line, flags, shown);
    if (!shortcut.isEmpty()) {
      p->setPen(high ? Lighten(text, -40) : text);
      p->drawText(QRect(r.left(), line.top(), r.width() - 10, h), Qt::AlignRight | Qt::AlignTop, shortcut);
    }
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
      const int cy = r.top() + r.height() / 2, cx = r.right() - 6;
      p->setRenderHint(QPainter::Antialiasing);
      p->setPen(Qt::NoPen);
      p->setBrush(text);
      const QPointF arrow[3] = {QPointF(cx - 3, cy - 4), QPointF(cx + 1, cy), QPointF(cx - 3, cy + 4)};
      p->drawPolygon(arrow, 3);
      p->setRenderHint(QPainter::Antialiasing, false);
    }
  }

  if (bar && menu) {
    // Drawn over the whole menu; the clip keeps each item to its slice.
    const QRect client = menu->rect();
    const int menuBottom = client.bottom() + 1 - 1;  // inside the frame line
    const QRect barRect(r.left(), client.top(), barWidth, client.height());
    QLinearGradient fill(barRect.topLeft(), barRect.bottomLeft());
    fill.setColorAt(0, Shade(c.iconColumn, 8));
    fill.setColorAt(1, Shade(c.iconColumn, 40));
    p->fillRect(barRect, fill);
    int bottomSpace = 5;
    const TPicture& picture = fPainter->BarPicture();
    if (picture.Graphic() && !picture.Graphic()->Empty()) {
      bottomSpace += picture.Height() + 8;
      const QRect dest(barRect.left() + (barWidth - picture.Width()) / 2, menuBottom - 2 - picture.Height(), picture.Width(),
                       picture.Height());
      // A see-through corner means the picture carries its own mask.
      if (const TBitmap* bitmap = picture.Bitmap(); bitmap && fPainter->BarTransparent() && bitmap->TransparentColor().alpha() == 255) {
        const QColor key = bitmap->TransparentColor();
        QImage masked = Recoloured(bitmap->Image(), [](const QColor& px) { return px; });
        for (int y = 0; y < masked.height(); ++y)
          for (int x = 0; x < masked.width(); ++x)
            if ((masked.pixel(x, y) & 0xFFFFFF) == (key.rgb() & 0xFFFFFF)) masked.setPixel(x, y, 0);
        p->drawImage(dest, masked);
      } else {
        picture.Graphic()->Draw(*p, dest);
      }
    }
    QFont barFont = fPainter->BarFont();
    const QFontMetrics bfm(barFont);
    p->setFont(barFont);
    p->setPen(fPainter->BarFontColor());
    p->translate(barRect.left() + (barWidth - bfm.height()) / 2, menuBottom - bottomSpace);
    p->rotate(-90);
    p->drawText(QPoint(0, bfm.ascent()), fPainter->BarCaption());
  }
  p->restore();
  // Menus and items added since the last paint are painted from now on.
  if (menu) fPainter->Hook(menu);
}

// ---------------------------------------------------------------- painter

TXPMenu::TXPMenu(QWidget* owner) : QObject(owner), fOwner(owner), fStyle(std::make_unique<TXPMenuStyle>(this)) {
  EnsureFormFonts();
  fBarFont = SystemMenuFont();
  fFont = SystemMenuFont();
  fBarFontColor = fFontColor = SysColor(TSysColor::MenuText);
  fColor = fIconBackColor = fMenuBarColor = fSeparatorColor = SysColor(TSysColor::BtnFace);
  fSelectColor = fSelectBorderColor = fCheckedColor = SysColor(TSysColor::Highlight);
  fSelectFontColor = fFontColor;
  fDisabledColor = SysColor(TSysColor::InactiveCaption);
  if (owner) owner->installEventFilter(this);
}

TXPMenu::~TXPMenu() {
  Uninstall();
  if (fOwner) fOwner->removeEventFilter(this);
}

TPicture& TXPMenu::BarPicture() {
  if (!fBarPicture) fBarPicture = std::make_unique<TPicture>();
  return *fBarPicture;
}

void TXPMenu::SetAutoDetect(bool value) { fAutoDetect = value; }

void TXPMenu::SetActive(bool value) {
  fActive = value;
  Uninstall();
  if (value) Install();
  if (fOwner)
    for (QMenuBar* bar : fOwner->findChildren<QMenuBar*>()) bar->update();
}

QList<QWidget*> TXPMenu::FormMenus() const {
  QList<QWidget*> menus;
  if (!fOwner) return menus;
  for (QMenuBar* bar : fOwner->findChildren<QMenuBar*>()) menus << bar;
  for (QMenu* menu : fOwner->findChildren<QMenu*>()) menus << menu;
  return menus;
}

bool TXPMenu::Paints(const QWidget* menu) const { return menu && menu->style() == fStyle.get(); }

void TXPMenu::HookWidget(QWidget* menu) {
  if (!menu || Paints(menu)) return;
  // A menu the form styles itself keeps its own drawing unless told.
  if (menu->style() != QApplication::style() && !fOverrideOwnerDraw) return;
  menu->setStyle(fStyle.get());
  menu->installEventFilter(this);
  fHooked << menu;
}

void TXPMenu::Hook(QMenu* menu) {
  if (!fActive || !menu) return;
  QSet<QMenu*> seen;
  std::function<void(QMenu*)> walk = [&](QMenu* m) {
    if (!m || seen.contains(m)) return;
    seen.insert(m);
    HookWidget(m);
    for (QAction* action : m->actions()) walk(action->menu());
  };
  walk(menu);
}

void TXPMenu::Install() {
  fInstalling = true;
  for (QWidget* w : FormMenus()) {
    HookWidget(w);
    if (auto* menu = qobject_cast<QMenu*>(w)) Hook(menu);
    if (auto* bar = qobject_cast<QMenuBar*>(w))
      for (QAction* action : bar->actions()) Hook(action->menu());
  }
  fInstalling = false;
}

void TXPMenu::Uninstall() {
  // Every menu it paints went through HookWidget, so the list is complete;
  // it also stays safe while the form is being destroyed.
  for (const QPointer<QWidget>& w : fHooked)
    if (w && Paints(w)) {
      w->setStyle(nullptr);
      w->removeEventFilter(this);
    }
  fHooked.clear();
}

bool TXPMenu::ShowsBar(const QWidget* widget) const {
  const auto* menu = qobject_cast<const QMenu*>(widget);
  if (fBarCaption.isEmpty() || !menu) return false;
  for (QObject* user : menu->menuAction()->associatedObjects())
    if (qobject_cast<QMenu*>(user) || qobject_cast<QMenuBar*>(user)) return false;
  return true;
}

TXPColors TXPMenu::WorkingColors() const {
  const bool high = HighColor();
  const QColor face = SysColor(TSysColor::BtnFace), shadow = SysColor(TSysColor::BtnShadow),
               highlight = SysColor(TSysColor::Highlight);
  TXPColors c;
  if (!fUseSystemColors) {
    c.background = fColor;
    c.iconColumn = fIconBackColor;
    c.select = fSelectColor;
    c.selectBorder = fSelectBorderColor;
    c.menuBar = fMenuBarColor;
    c.disabled = fDisabledColor;
    c.separator = fSeparatorColor;
    c.checked = fCheckedColor;
    c.font = fFontColor;
    c.selectFont = fSelectFontColor;
    c.checkFill = high ? Lighten(fSelectColor, 75) : QColor(Qt::white);
    c.checkSelectFill = high ? Lighten(fSelectColor, 50) : QColor(0xC0, 0xC0, 0xC0);
    return c;
  }
  c.font = c.selectFont = SysColor(TSysColor::MenuText);
  c.selectBorder = c.checked = highlight;
  c.menuBar = face;
  if (high) {
    c.background = Lighten(face, 86);
    c.iconColumn = Lighten(face, 16);
    c.select = Lighten(highlight, 68);
    c.disabled = Lighten(shadow, 10);
    c.separator = Lighten(shadow, 25);
    c.checkFill = Lighten(highlight, 75);
    c.checkSelectFill = Lighten(highlight, 50);
  } else {
    c.background = Qt::white;
    c.iconColumn = face;
    c.select = Qt::white;
    c.disabled = c.separator = shadow;
    c.checkFill = c.checkSelectFill = Qt::white;
  }
  return c;
}

bool TXPMenu::eventFilter(QObject* watched, QEvent* event) {
  if (fAutoDetect && !fInstalling) {
    if (event->type() == QEvent::ChildAdded && watched == fOwner) {
      // The new child is not constructed yet: look at it once it is.
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (child->isWidgetType())
        QMetaObject::invokeMethod(
            this,
            [this, child = QPointer<QObject>(child)] {
              if (child && (qobject_cast<QMenu*>(child) || qobject_cast<QMenuBar*>(child))) SetActive(true);
            },
            Qt::QueuedConnection);
    } else if (event->type() == QEvent::ActionAdded && watched != fOwner) {
      SetActive(true);
    }
  }
  return QObject::eventFilter(watched, event);
}

// ------------------------------------------------------------- hint window

TShadowedHintWindow::TShadowedHintWindow(QWidget* parent) : QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
  fShadow = PlatformOffersShadow();
  if (fShadow) setAttribute(Qt::WA_TranslucentBackground);
  setMargin(fShadow ? 4 : 3);
  setContentsMargins(0, 0, fShadow ? 3 : 0, fShadow ? 3 : 0);
  setForegroundRole(QPalette::ToolTipText);
  setBackgroundRole(QPalette::ToolTipBase);
  setPalette(QToolTip::palette());
  setFont(QToolTip::font());
}

bool TShadowedHintWindow::PlatformOffersShadow() {
  // Only a compositing desktop shows the translucent shadow; offscreen and
  // bare X servers draw it as a black band.
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("wayland") ||
         (platform == QLatin1String("xcb") && !qEnvironmentVariableIsEmpty("XDG_CURRENT_DESKTOP"));
}

void TShadowedHintWindow::ActivateHint(const QPoint& screenPos, const QString& text) {
  if (text.isEmpty()) {
    hide();
    return;
  }
  setText(text);
  adjustSize();
  move(screenPos + QPoint(2, 16));
  show();
  raise();
}

void TShadowedHintWindow::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const int s = fShadow ? 3 : 0;
  const QRect body = rect().adjusted(0, 0, -s, -s);
  for (int i = s; i > 0; --i) p.fillRect(body.translated(i, i), QColor(0, 0, 0, 30));
  p.fillRect(body, palette().color(QPalette::ToolTipBase));
  p.setPen(palette().color(QPalette::ToolTipText));
  p.drawRect(body.adjusted(0, 0, -1, -1));
  p.end();
  QLabel::paintEvent(event);
}

namespace {

// Shows the widgets' hints in the shadowed window instead of the stock one.
class THintFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ToolTip: {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget) break;
        const QString text = widget->toolTip();
        if (text.isEmpty()) break;
        if (!fWindow) fWindow = new TShadowedHintWindow;
        fWindow->ActivateHint(static_cast<QHelpEvent*>(event)->globalPos(), text);
        fHide.start();
        return true;
      }
      case QEvent::Leave:
      case QEvent::MouseButtonPress:
      case QEvent::KeyPress:
      case QEvent::Wheel:
      case QEvent::WindowDeactivate:
        if (fWindow && fWindow->isVisible() && watched != fWindow) fWindow->hide();
        break;
      default:
        break;
    }
    return false;
  }

  QPointer<TShadowedHintWindow> fWindow;
  QTimer fHide;
};

}  // namespace

void InstallShadowedHints() {
  static THintFilter* filter = nullptr;
  if (filter || !qApp) return;
  filter = new THintFilter(qApp);
  filter->fHide.setSingleShot(true);
  filter->fHide.setInterval(10000);
  QObject::connect(&filter->fHide, &QTimer::timeout, filter, [] {
    if (filter->fWindow) filter->fWindow->hide();
  });
  qApp->installEventFilter(filter);
}
