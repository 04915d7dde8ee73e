#pragma once
// The Caption and Hint of a window's components, read and written by name
// whatever Qt class carries them: Caption is a label's or button's text, an
// action's text, a menu's or group box's title, a tab page's tab text, a
// child window's title, or the "Caption" property of our own controls; Hint
// is the tool tip (or a "Hint" property).
#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

#include <optional>

// The component's Caption; nullopt when its class has none.
std::optional<QString> ComponentCaption(const QObject* component);
// Sets it; false when the class has no Caption.
bool SetComponentCaption(QObject* component, const QString& caption);
// The component's Hint; nullopt when its class has none.
std::optional<QString> ComponentHint(const QObject* component);
bool SetComponentHint(QObject* component, const QString& hint);

// The components a window owns, in ownership order: its descendants, each
// before its own children, in the order they were created. Windows it owns
// and their parts are left out: they are forms of their own.
QList<QObject*> FormComponents(const QWidget* form);
// Whether the object is a window of its own (a form or dialog), not a part
// of another window such as a menu.
bool IsFormWindow(const QObject* object);
// The program's windows that exist now (shown or hidden), ordered by form
// key so that written files come out the same on every run.
QList<QWidget*> OpenForms();
// Puts forms in that order.
void SortForms(QList<QWidget*>& forms);
// The window's class name without its first character (TFrmViewer gives
// FrmViewer).
QString FormKey(const QWidget* form);
