#include "app/pk_listlook.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTreeView>

namespace {

// The line under each row.
constexpr int kLine = 1;

// The application's colours of the active window, in every state.
QColor Active(QPalette::ColorRole role) { return QGuiApplication::palette().color(QPalette::Active, role); }

// What a background colour also gives the parts drawn around it.
void SetBackground(QPalette& palette, QPalette::ColorRole role, const QColor& color) {
  palette.setColor(role, color);
  palette.setColor(QPalette::Window, color);
  palette.setColor(QPalette::Light, color.lighter(115));
  palette.setColor(QPalette::Midlight, color.lighter(107));
  palette.setColor(QPalette::Dark, color.darker(150));
  palette.setColor(QPalette::Shadow, color.darker(300));
}

class TMovieListStyle : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_ItemViewItem) result.rheight() += kLine;
    return result;
  }

  // The item's parts are laid out above its line.
  QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
    if (!item || (element != SE_ItemViewItemCheckIndicator && element != SE_ItemViewItemDecoration &&
                  element != SE_ItemViewItemText && element != SE_ItemViewItemFocusRect))
      return QProxyStyle::subElementRect(element, option, widget);
    QStyleOptionViewItem above(*item);
    above.rect.setBottom(above.rect.bottom() - kLine);
    return QProxyStyle::subElementRect(element, &above, widget);
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_PanelItemViewItem) return QProxyStyle::drawPrimitive(element, option, painter, widget);
    const QRect& r = option->rect;
    if (option->state & State_Selected) painter->fillRect(r, Active(QPalette::Highlight));
    painter->fillRect(QRect(r.left(), r.bottom() + 1 - kLine, r.width(), kLine), Active(QPalette::Midlight));
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_ItemViewItem) {
      if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option)) {
        QStyleOptionViewItem own(*item);
        if (own.state & State_Selected) {
          SetBackground(own.palette, QPalette::Highlight, Active(QPalette::Highlight));
          const QColor text = Active(QPalette::HighlightedText);
          for (QPalette::ColorRole role : {QPalette::HighlightedText, QPalette::WindowText, QPalette::Text})
            own.palette.setColor(role, text);
        }
        // The common drawing, with this style's parts.
        QCommonStyle::drawControl(element, &own, painter, widget);
        return;
      }
    }
    if (element == CE_ShapedFrame) {
      if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
        QStyleOptionFrame own(*frame);
        SetBackground(own.palette, QPalette::Base, Active(QPalette::Button));
        return QProxyStyle::drawControl(element, &own, painter, widget);
      }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

}  // namespace

void ApplyMovieListLook(QTreeView* list) {
  // One for every list of the run; the application outlives the lists.
  static QPointer<TMovieListStyle> style;
  if (!style) {
    style = new TMovieListStyle;
    style->setParent(qApp);
  }
  list->setStyle(style);
  QPalette palette = list->palette();
  const QColor face = Active(QPalette::Button);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
      palette.setColor(group, role, face);
  list->setPalette(palette);
}
