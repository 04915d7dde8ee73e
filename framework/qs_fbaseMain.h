#pragma once
// The base of the program's full windows: position and language kept
// between runs, and the standard right-click block (About, Online Help,
// Languages, Close).
#include "framework/qs_contexte.h"

class QAction;
class QMenu;
class TqsXPMenu;

class TFrmBaseMain : public TqsForm {
  Q_OBJECT
 public:
  explicit TFrmBaseMain(QWidget* parent = nullptr);

  QMenu* PopupMenu;
  QAction* cmAbout;
  QAction* cmOnlineHelp;
  QAction* cmLanguageList;  // its menu() holds the sub-items
  QAction* cmNewLanguage;
  QAction* cmEditLanguage;
  QAction* _N0;
  QAction* _NClose;
  QAction* cmClose;
  TqsXPMenu* qsXPMenu;

  // The sub-menu of cmLanguageList: positions 0 to 2 are fixed, language i
  // of the language list is at position i + 3.
  QMenu* LanguageMenu() const;

  // A window class calls FormCreate at the end of its own constructor (its
  // override calls this one first); FormClose runs on every close.
  virtual void FormCreate();
  virtual void FormClose();
  void PopupMenuPopup();
  void cmAboutClick();
  void cmOnlineHelpClick();
  void cmNewLanguageClick();
  void cmEditLanguageClick();
  void cmCloseClick();
  virtual void LanguageItemClick(QObject* sender);
  // Rebuilds the language items when the language list has changed.
  void UpdateLanguageItems();
  // The desktop ends the session (or the program quits): the window closes
  // through its normal path so that language and position are stored.
  void EndSession();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void AddLanguageItems();
  void RemoveLanguageItems();
};
