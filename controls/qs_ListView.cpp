#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

#include "controls/qs_Buttons.h"

TqsListView::TqsListView(QWidget* parent) : QTreeWidget(parent) {}

void TqsListView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) {
    QTreeWidget::mousePressEvent(event);
    return;
  }
  // Only the control's own event: the list would move the selection.
  const QPoint pos = event->position().toPoint();
  if (fOnMouseDown) fOnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
  event->accept();
}

void TqsListView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) {
    QTreeWidget::mouseReleaseEvent(event);
    return;
  }
  const QPoint pos = event->position().toPoint();
  if (fOnMouseUp) fOnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
  event->accept();
  QContextMenuEvent request(QContextMenuEvent::Mouse, pos, viewport()->mapToGlobal(pos), event->modifiers());
  fOwnRequest = true;
  contextMenuEvent(&request);
  fOwnRequest = false;
}

void TqsListView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The list would activate the row last pressed: a second right press is
  // just a press.
  if (event->button() == Qt::RightButton)
    mousePressEvent(event);
  else
    QTreeWidget::mouseDoubleClickEvent(event);
}

void TqsListView::contextMenuEvent(QContextMenuEvent* event) {
  // The platform's own request on button press would open the menu twice.
  if (event->reason() == QContextMenuEvent::Mouse && !fOwnRequest) {
    event->accept();
    return;
  }
  if (fOnContextPopup) fOnContextPopup(event->globalPos());
  if (fPopupMenu) fPopupMenu->popup(event->globalPos());
  event->accept();
}
