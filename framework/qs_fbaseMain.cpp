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
  Language->ForceReload();
  Language->SetLanguage(Contexte->ReadInteger(QStringLiteral("Language"), Language->LanguageIndex()));
  AddLanguageItems();
}

void TFrmBaseMain::FormClose() {
  Contexte->WriteInteger(QStringLiteral("Language"), Language->LanguageIndex());
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
    connect(item, &QAction::triggered, this, [this, item] { LanguageItemClick(item); });
    LanguageMenu()->addAction(item);
  }
}

void TFrmBaseMain::RemoveLanguageItems() {
  const QList<QAction*> items = LanguageMenu()->actions();
  for (qsizetype i = items.size() - 1; i >= kFirstLanguageItem; --i) delete items.at(i);
}

void TFrmBaseMain::PopupMenuPopup() {
  cmOnlineHelp->setVisible(!Language->HelpURL().isEmpty());
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
  // The list is rebuilt in name order, so a new name can shift the current
  // language's index: it is followed, or the check mark and the stored
  // "Language" would name another language. The menu follows the list even
  // when adding fails half-way (the editor does not open).
  struct Rebuild {
    TFrmBaseMain* form;
    QString current;
    ~Rebuild() {
      if (!current.isEmpty()) {
        const int index = int(Language->LanguageList().Lines().indexOf(current, 1));
        if (index > 0) Language->SetLanguageIndex(index);
      }
      form->RemoveLanguageItems();
      form->AddLanguageItems();
    }
  } rebuild{this, Language->LanguageName()};
  Language->AddLanguage(name);
}

void TFrmBaseMain::cmEditLanguageClick() { Language->EditLanguage(); }

void TFrmBaseMain::cmCloseClick() { close(); }

void TFrmBaseMain::LanguageItemClick(QObject* sender) {
  auto* item = qobject_cast<QAction*>(sender);
  if (!item) return;
  const QList<QAction*> siblings = LanguageMenu()->actions();
  const qsizetype position = siblings.indexOf(item);
  if (position < 0) return;
  Language->SetLanguage(int(position) - kFirstLanguageItem);
}
