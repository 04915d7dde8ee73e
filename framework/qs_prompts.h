#pragma once
// The standard questions the windows ask: a one-line input and a folder
// chooser. Each goes through a replaceable answer, so tests can reply
// without a dialog appearing.
#include <QString>

#include <functional>

// Asks for one line of text; `value` holds the initial text and receives
// the answer. False when the user cancels.
bool InputQuery(const QString& caption, const QString& prompt, QString& value);
// Asks for a folder, starting at `directory` (empty: anywhere); `directory`
// receives the choice. False when the user cancels.
bool SelectDirectory(const QString& title, QString& directory);

using TInputQuery = std::function<bool(const QString& caption, const QString& prompt, QString& value)>;
using TSelectDirectory = std::function<bool(const QString& title, QString& directory)>;
// Empty restores the dialog.
void SetInputQuery(TInputQuery answer);
void SetSelectDirectory(TSelectDirectory answer);
