#include "framework/qs_designlayout.h"

#include <QWidget>
#include <QWidgetItem>

TDesignLayout::TDesignLayout(QWidget* parent, QSize designSize) : QLayout(parent), fDesignSize(designSize) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
  // The parent's size is the window's business, not the layout's.
  setSizeConstraint(QLayout::SetNoConstraint);
}

TDesignLayout::~TDesignLayout() {
  for (const TPlacement& p : fItems) delete p.item;
}

void TDesignLayout::Add(QWidget* control, const QRect& g, TAnchors anchors) {
  addChildWidget(control);
  fItems.append({new QWidgetItem(control), g.left(), g.top(), fDesignSize.width() - g.left() - g.width(),
                 fDesignSize.height() - g.top() - g.height(), g.width(), g.height(), anchors});
  control->setGeometry(g);
  invalidate();
}

QRect TDesignLayout::PlaceItem(const TPlacement& p, QSize size) {
  int x = p.left, w = p.width, y = p.top, h = p.height;
  if ((p.anchors & akLeft) && (p.anchors & akRight))
    w = size.width() - p.left - p.right;
  else if (p.anchors & akRight)
    x = size.width() - p.right - p.width;
  if ((p.anchors & akTop) && (p.anchors & akBottom))
    h = size.height() - p.top - p.bottom;
  else if (p.anchors & akBottom)
    y = size.height() - p.bottom - p.height;
  return QRect(x, y, qMax(0, w), qMax(0, h));
}

QRect TDesignLayout::Place(const QWidget* control, QSize size) const {
  for (const TPlacement& p : fItems)
    if (p.item->widget() == control) return PlaceItem(p, size);
  return {};
}

void TDesignLayout::addItem(QLayoutItem* item) {
  // Items added without a geometry stay where they are.
  const QRect g = item->widget() ? item->widget()->geometry() : QRect();
  fItems.append({item, g.left(), g.top(), fDesignSize.width() - g.right() - 1, fDesignSize.height() - g.bottom() - 1,
                 g.width(), g.height(), kAnchorsDefault});
}

QLayoutItem* TDesignLayout::itemAt(int index) const {
  return index >= 0 && index < fItems.size() ? fItems.at(index).item : nullptr;
}

QLayoutItem* TDesignLayout::takeAt(int index) {
  if (index < 0 || index >= fItems.size()) return nullptr;
  return fItems.takeAt(index).item;
}

int TDesignLayout::count() const { return int(fItems.size()); }

QSize TDesignLayout::sizeHint() const { return fDesignSize; }

QSize TDesignLayout::minimumSize() const { return QSize(0, 0); }

void TDesignLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  for (const TPlacement& p : fItems) {
    QRect r = PlaceItem(p, rect.size());
    r.translate(rect.topLeft());
    // Straight onto the widget: an item would shrink fixed-height controls
    // (buttons, lines) to their preferred height.
    if (QWidget* widget = p.item->widget())
      widget->setGeometry(r);
    else
      p.item->setGeometry(r);
  }
}
