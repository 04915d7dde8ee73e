#pragma once
// Making a form's components: each carries the name the language files and
// the saved settings know it by.
#include <QAction>
#include <QObject>
#include <QString>

template <typename T>
T* Named(T* component, const char* name) {
  component->setObjectName(QString::fromLatin1(name));
  return component;
}

inline QAction* MenuItem(QObject* owner, const char* name, const QString& caption) {
  return Named(new QAction(caption, owner), name);
}

inline QAction* Separator(QObject* owner, const char* name) {
  QAction* item = MenuItem(owner, name, QString());
  item->setSeparator(true);
  return item;
}
