#include "framework/qs_fbaseMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>

#include <memory>

#include "controls/qs_Graphics.h"
#include "controls/qs_XPMenu.h"
#include "framework/qs_fBaseAPropos.h"
#include "framework/qs_formplacement.h"
#include "framework/qs_language.h"
#include "framework/qs_prompts.h"
#include "framework/qs_str.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_tools.h"
#include "framework/qs_components.h"

namespace {

// Positions of the fixed sub-items before the first language.
constexpr int kFirstLanguageItem = 3;

const QString kLanguageValue = QStringLiteral("Language");
const QString kLanguageNameValue = QStringLiteral("LanguageName");

// The stored choice: the language's name when it still exists (indexes move
// when languages come and go), else the stored index.
int StoredLanguage() {
  const int index = Contexte->ReadInteger(kLanguageValue, Language->LanguageIndex());
  const int named = Language->IndexOfLanguage(Contexte->ReadString(kLanguageNameValue, QString()));
  return named > 0 ? named : index;
}

void StoreLanguage() {
  Contexte->WriteInteger(kLanguageValue, Language->LanguageIndex());
  Contexte->WriteString(kLanguageNameValue, Language->LanguageName());
}

// What a language item stands for: the language's name; empty for the
// built-in English.
QString ItemLanguage(int index) { return index > 0 ? Language->LanguageList()[index] : QString(); }

// Every base main window's Languages menu follows the language list.
void FollowLanguageList() {
  for (QWidget* widget : QApplication::allWidgets())
    if (auto* form = qobject_cast<TFrmBaseMain*>(widget)) form->UpdateLanguageItems();
}

}  // namespace

TFrmBaseMain::TFrmBaseMain(QWidget* parent) : TqsForm(parent) {
  EnsureFormFonts();
  setWindowTitle(QStringLiteral("FrmBaseMain"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  setFont(font);
  resize(415, 238);  // the designed 423 x 270 less the frame

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  connect(PopupMenu, &QMenu::aboutToShow, this, [this] { PopupMenuPopup(); });

  cmAbout = MenuItem(this, "cmAbout", QStringLiteral("About"));
  connect(cmAbout, &QAction::triggered, this, [this] { cmAboutClick(); });
  cmOnlineHelp = MenuItem(this, "cmOnlineHelp", QStringLiteral("Online Help"));
  connect(cmOnlineHelp, &QAction::triggered, this, [this] { cmOnlineHelpClick(); });
  cmLanguageList = MenuItem(this, "cmLanguageList", QStringLiteral("Languages"));
  cmLanguageList->setMenu(new QMenu(PopupMenu));
  cmNewLanguage = MenuItem(this, "cmNewLanguage", QStringLiteral("Add a new language"));
  connect(cmNewLanguage, &QAction::triggered, this, [this] { cmNewLanguageClick(); });
  cmEditLanguage = MenuItem(this, "cmEditLanguage", QStringLiteral("Edit the language"));
  connect(cmEditLanguage, &QAction::triggered, this, [this] { cmEditLanguageClick(); });
  _N0 = Separator(this, "_N0");
  _NClose = Separator(this, "_NClose");
  cmClose = MenuItem(this, "cmClose", QStringLiteral("Close"));
  connect(cmClose, &QAction::triggered, this, [this] { cmCloseClick(); });

  PopupMenu->addActions({cmAbout, cmOnlineHelp, cmLanguageList, _NClose, cmClose});
  LanguageMenu()->addActions({cmNewLanguage, cmEditLanguage, _N0});

  qsXPMenu = new TqsXPMenu(this);
  qsXPMenu->setObjectName(QStringLiteral("qsXPMenu"));
  QFont barFont(QStringLiteral("Tahoma"));
  barFont.setPixelSize(19);
  barFont.setBold(true);
  qsXPMenu->SetBarFont(barFont);
  qsXPMenu->SetFont(font);
  qsXPMenu->SetIconWidth(24);
  qsXPMenu->SetUseSystemColors(true);
  qsXPMenu->SetDrawSelect(true);
  qsXPMenu->SetGradient(false);
  qsXPMenu->SetFlatMenu(false);
  qsXPMenu->SetOverrideOwnerDraw(false);
  qsXPMenu->SetAutoDetect(true);
  qsXPMenu->SetActive(false);

  // Log-off, shut-down and quitting all end in the normal close, which
  // stores the language and the position. The session may go on ending.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { EndSession(); },
          Qt::DirectConnection);
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { EndSession(); });
}

QMenu* TFrmBaseMain::LanguageMenu() const { return cmLanguageList->menu(); }

void TFrmBaseMain::FormCreate() {
  Language->LoadLanguageList();
  RestoreFormPlacement(this);
  if (Language->InUse()) {
    // A window opened later in the run (the viewer) takes the language the
    // user sees now, not the one stored at an earlier close.
    Language->TranslateForm(this);
  } else {
    Language->ForceReload();
    Language->SetLanguage(StoredLanguage());
  }
  AddLanguageItems();
}

void TFrmBaseMain::FormClose() {
  StoreLanguage();
  Contexte->SaveForm(this, QString());
}

void TFrmBaseMain::closeEvent(QCloseEvent* event) {
  FormClose();
  TqsForm::closeEvent(event);
}

void TFrmBaseMain::contextMenuEvent(QContextMenuEvent* event) { PopupMenu->popup(event->globalPos()); }

void TFrmBaseMain::EndSession() {
  if (isVisible()) close();
}

void TFrmBaseMain::AddLanguageItems() {
  const TqsStringList& list = Language->LanguageList();
  for (int i = 0; i < list.Count(); ++i) {
    auto* item = new QAction(list[i], this);
    item->setCheckable(true);
    item->setData(ItemLanguage(i));
    connect(item, &QAction::triggered, this, [this, item] { LanguageItemClick(item); });
    LanguageMenu()->addAction(item);
  }
}

void TFrmBaseMain::UpdateLanguageItems() {
  const QList<QAction*> items = LanguageMenu()->actions().mid(kFirstLanguageItem);
  const TqsStringList& list = Language->LanguageList();
  bool same = items.size() == list.Count();
  for (int i = 0; same && i < list.Count(); ++i) same = items.at(i)->data().toString() == ItemLanguage(i);
  if (same) return;
  RemoveLanguageItems();
  AddLanguageItems();
}

void TFrmBaseMain::RemoveLanguageItems() {
  const QList<QAction*> items = LanguageMenu()->actions();
  for (qsizetype i = items.size() - 1; i >= kFirstLanguageItem; --i) {
    // Later: the item may be the one whose click is being handled.
    LanguageMenu()->removeAction(items.at(i));
    items.at(i)->deleteLater();
  }
}

void TFrmBaseMain::PopupMenuPopup() {
  cmOnlineHelp->setVisible(!Language->HelpURL().isEmpty());
  UpdateLanguageItems();
  const QList<QAction*> items = LanguageMenu()->actions();
  if (items.size() > kFirstLanguageItem) {
    for (qsizetype i = kFirstLanguageItem; i < items.size(); ++i) items.at(i)->setChecked(false);
    const int current = Language->LanguageIndex() + kFirstLanguageItem;
    if (current >= kFirstLanguageItem && current < items.size()) items.at(current)->setChecked(true);
  }
}

void TFrmBaseMain::cmAboutClick() {
  auto box = std::make_unique<TfrmBaseAboutBox>();
  box->setWindowTitle((*AppStrings)[sAbout]);
  box->cmEdit->setText((*AppStrings)[sEditAboutFile]);
  box->exec();
}

void TFrmBaseMain::cmOnlineHelpClick() {
  if (!Language->HelpURL().isEmpty()) ShellOpen(Language->HelpURL());
}

void TFrmBaseMain::cmNewLanguageClick() {
  QString name;
  if (!InputQuery((*AppStrings)[sLanguageToAdd], (*AppStrings)[sLanguageName], name)) return;
  // The menus follow the list even when adding fails half-way (the editor
  // does not open).
  struct Follow {
    ~Follow() { FollowLanguageList(); }
  } follow;
  Language->AddLanguage(name);
}

void TFrmBaseMain::cmEditLanguageClick() {
  struct Follow {
    ~Follow() { FollowLanguageList(); }
  } follow;
  Language->EditLanguage();
}

void TFrmBaseMain::cmCloseClick() { close(); }

void TFrmBaseMain::LanguageItemClick(QObject* sender) {
  auto* item = qobject_cast<QAction*>(sender);
  if (!item || !LanguageMenu()->actions().contains(item)) return;
  // The item stands for its language, wherever the list now puts it.
  const QString name = item->data().toString();
  const int index = name.isEmpty() ? 0 : Language->IndexOfLanguage(name);
  if (index < 0) {
    UpdateLanguageItems();
    return;
  }
  Language->SetLanguage(index);
  StoreLanguage();  // the choice outlives a run that does not end normally
}
