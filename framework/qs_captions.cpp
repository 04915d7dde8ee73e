#include "framework/qs_captions.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMetaProperty>
#include <QStackedWidget>
#include <QTabWidget>

#include <algorithm>

#include "framework/qs_contexte.h"

namespace {

// A declared (Q_PROPERTY) or dynamic property of that name.
bool HasProperty(const QObject* object, const char* name) {
  return object->metaObject()->indexOfProperty(name) >= 0 || object->dynamicPropertyNames().contains(name);
}

// The tab widget showing `widget` as a page, and the page's index.
QTabWidget* TabOf(const QObject* widget, int& index) {
  const auto* page = qobject_cast<const QWidget*>(widget);
  if (!page) return nullptr;
  auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
  auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
  if (!tabs) return nullptr;
  index = tabs->indexOf(const_cast<QWidget*>(page));
  return index >= 0 ? tabs : nullptr;
}

// What QAction reports as its tool tip when none was set.
QString DefaultActionToolTip(const QAction* action) {
  QString text = action->text();
  text.remove(QStringLiteral("..."));
  QString stripped;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text.at(i) == QLatin1Char('&')) {
      if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) stripped += text.at(++i);
      continue;
    }
    stripped += text.at(i);
  }
  return stripped.trimmed();
}

bool IsOwnClass(const QWidget* widget) {
  // Qt's own windows (message boxes, menus, the copy's progress) are not
  // forms of the program.
  if (qobject_cast<const TqsForm*>(widget)) return true;
  return !QString::fromLatin1(widget->metaObject()->className()).startsWith(QLatin1Char('Q'));
}

}  // namespace

std::optional<QString> ComponentCaption(const QObject* c) {
  if (!c) return std::nullopt;
  if (HasProperty(c, "Caption")) return c->property("Caption").toString();
  if (const auto* action = qobject_cast<const QAction*>(c)) return action->text();
  if (const auto* label = qobject_cast<const QLabel*>(c)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(c)) return button->text();
  if (const auto* menu = qobject_cast<const QMenu*>(c)) return menu->title();
  if (const auto* box = qobject_cast<const QGroupBox*>(c)) return box->title();
  int index = -1;
  if (QTabWidget* tabs = TabOf(c, index)) return tabs->tabText(index);
  if (const auto* widget = qobject_cast<const QWidget*>(c); widget && widget->isWindow()) return widget->windowTitle();
  return std::nullopt;
}

bool SetComponentCaption(QObject* c, const QString& caption) {
  if (!c) return false;
  if (HasProperty(c, "Caption")) return c->setProperty("Caption", caption) || c->property("Caption") == caption;
  if (auto* action = qobject_cast<QAction*>(c)) {
    action->setText(caption);
  } else if (auto* label = qobject_cast<QLabel*>(c)) {
    label->setText(caption);
  } else if (auto* button = qobject_cast<QAbstractButton*>(c)) {
    button->setText(caption);
  } else if (auto* menu = qobject_cast<QMenu*>(c)) {
    menu->setTitle(caption);
  } else if (auto* box = qobject_cast<QGroupBox*>(c)) {
    box->setTitle(caption);
  } else if (int index = -1; QTabWidget* tabs = TabOf(c, index)) {
    tabs->setTabText(index, caption);
  } else if (auto* widget = qobject_cast<QWidget*>(c); widget && widget->isWindow()) {
    widget->setWindowTitle(caption);
  } else {
    return false;
  }
  return true;
}

std::optional<QString> ComponentHint(const QObject* c) {
  if (!c) return std::nullopt;
  if (HasProperty(c, "Hint")) return c->property("Hint").toString();
  if (const auto* action = qobject_cast<const QAction*>(c)) {
    const QString tip = action->toolTip();
    return tip == DefaultActionToolTip(action) ? QString() : tip;
  }
  if (const auto* widget = qobject_cast<const QWidget*>(c)) return widget->toolTip();
  return std::nullopt;
}

bool SetComponentHint(QObject* c, const QString& hint) {
  if (!c) return false;
  if (HasProperty(c, "Hint")) return c->setProperty("Hint", hint) || c->property("Hint") == hint;
  if (auto* action = qobject_cast<QAction*>(c)) {
    action->setToolTip(hint);
  } else if (auto* widget = qobject_cast<QWidget*>(c)) {
    widget->setToolTip(hint);
  } else {
    return false;
  }
  return true;
}

bool IsFormWindow(const QObject* object) {
  const auto* widget = qobject_cast<const QWidget*>(object);
  if (!widget || !widget->isWindow()) return false;
  const Qt::WindowType type = widget->windowType();
  return type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet;
}

namespace {

void CollectComponents(const QObject* parent, QList<QObject*>& components) {
  for (QObject* c : parent->children()) {
    // A window the form owns (the viewer of the main window) is a form of
    // its own, with its own key; its parts are not this form's.
    if (IsFormWindow(c)) continue;
    // Qt's internal parts of compound widgets are no components of ours.
    if (!c->objectName().startsWith(QStringLiteral("qt_"))) components.append(c);
    CollectComponents(c, components);
  }
}

}  // namespace

QList<QObject*> FormComponents(const QWidget* form) {
  QList<QObject*> components;
  if (form) CollectComponents(form, components);
  return components;
}

QString FormKey(const QWidget* form) {
  QString className = QString::fromLatin1(form->metaObject()->className());
  className = className.mid(className.lastIndexOf(QLatin1Char(':')) + 1);
  return className.mid(1);
}

QList<QWidget*> OpenForms() {
  QList<QWidget*> forms;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (IsFormWindow(widget) && IsOwnClass(widget)) forms.append(widget);
  SortForms(forms);
  return forms;
}

void SortForms(QList<QWidget*>& forms) {
  std::stable_sort(forms.begin(), forms.end(), [](const QWidget* a, const QWidget* b) {
    const int byKey = QString::compare(FormKey(a), FormKey(b), Qt::CaseInsensitive);
    return byKey != 0 ? byKey < 0 : a->objectName() < b->objectName();
  });
}
