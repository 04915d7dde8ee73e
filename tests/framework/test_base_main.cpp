#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QPushButton>

#include "controls/qs_XPMenu.h"
#include "framework/qs_contexte.h"
#include "framework/qs_fBaseAPropos.h"
#include "framework/qs_fbaseMain.h"
#include "framework/qs_formplacement.h"
#include "framework/qs_language.h"
#include "framework/qs_prompts.h"
#include "framework/qs_str.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_tools.h"
#include "tests/support/modal_answer.h"
#include "tests/support/recording_opener.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/test_env.h"

namespace {

class TFrmSampleMain : public TFrmBaseMain {
  Q_OBJECT
 public:
  TFrmSampleMain() { FormCreate(); }
};

const QString kSection = QStringLiteral("Settings\\FrmSampleMain");

class BaseMainWindow : public FrameworkTest {
 protected:
  void TearDown() override {
    SetInputQuery(nullptr);
    FrameworkTest::TearDown();
  }
  void WriteLanguage(const QString& language, const QString& text) {
    const QString dir = language.isEmpty() ? root_ : root_ + "/" + language;
    ASSERT_TRUE(testenv::WriteFile(dir + "/CaptionList.txt", text.toUtf8()));
  }
  static QStringList Texts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions()) texts.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
  }
  static QList<bool> Checks(const QMenu* menu) {
    QList<bool> checks;
    for (const QAction* a : menu->actions().mid(3)) checks.append(a->isChecked());
    return checks;
  }

};

}  // namespace

TEST_F(BaseMainWindow, WithoutLanguagesDirectoryTheMenuListsEnglishChecked) {
  TFrmSampleMain form;
  EXPECT_EQ(Texts(form.PopupMenu), QStringList({"About", "Online Help", "Languages", "-", "Close"}));
  EXPECT_EQ(Texts(form.LanguageMenu()), QStringList({"Add a new language", "Edit the language", "-", "English"}));
  form.PopupMenuPopup();
  EXPECT_EQ(Checks(form.LanguageMenu()), QList<bool>({true}));
  EXPECT_EQ(form.windowTitle(), "FrmBaseMain");
  EXPECT_FALSE(form.qsXPMenu->Active());
  EXPECT_FALSE(QDir(root_).exists());
}

TEST_F(BaseMainWindow, CreationAppliesTheStoredLanguageToEveryOpenWindow) {
  WriteLanguage("Deutsch", "FrmSampleMain.cmAbout.Caption=Über\r\nFrmSampleMain.cmClose.Caption=Schließen\r\n"
                           "strings.2=Über das Programm\r\n");
  WriteLanguage("French", "FrmSampleMain.cmAbout.Caption=À propos\r\n");
  Contexte->WriteInteger("Language", 2);
  TFrmSampleMain first;
  EXPECT_EQ(first.cmAbout->text(), "À propos");
  EXPECT_EQ(Texts(first.LanguageMenu()).mid(3), QStringList({"English", "Deutsch", "French"}));

  // A second window takes the language in use, whatever is stored.
  Contexte->WriteInteger("Language", 1);
  TFrmSampleMain second;
  EXPECT_EQ(second.cmAbout->text(), "À propos");
  EXPECT_EQ(first.cmAbout->text(), "À propos");
  EXPECT_EQ(Language->LanguageName(), "French");
  // A choice reaches every open window.
  second.LanguageMenu()->actions().at(4)->trigger();
  EXPECT_EQ(first.cmAbout->text(), "Über");
  EXPECT_EQ(first.cmClose->text(), "Schließen");
  EXPECT_EQ((*AppStrings)[sAbout], "Über das Programm");
  first.PopupMenuPopup();
  EXPECT_EQ(Checks(first.LanguageMenu()), QList<bool>({false, true, false}));
}

TEST_F(BaseMainWindow, TheStoredLanguageNameWinsOverItsIndex) {
  WriteLanguage("Deutsch", "FrmSampleMain.cmAbout.Caption=Über\r\n");
  WriteLanguage("French", "FrmSampleMain.cmAbout.Caption=À propos\r\n");
  {
    TFrmSampleMain form;
    form.LanguageMenu()->actions().at(4)->trigger();
    EXPECT_EQ(Contexte->ReadString("LanguageName", "-"), "Deutsch");
    EXPECT_EQ(Contexte->ReadInteger("Language", -1), 1);
  }
  // A language added between runs moves Deutsch to index 2.
  QDir().mkpath(root_ + "/Aaa");
  FinalizeSettingsUnit();
  InitializeSettingsUnit();
  {
    TFrmSampleMain form;
    EXPECT_EQ(Language->LanguageName(), "Deutsch");
    EXPECT_EQ(form.cmAbout->text(), "Über");
  }
  // A stored name that no longer exists: the index decides.
  Contexte->WriteString("LanguageName", "Gone");
  Contexte->WriteInteger("Language", 3);
  FinalizeSettingsUnit();
  InitializeSettingsUnit();
  TFrmSampleMain form;
  EXPECT_EQ(Language->LanguageName(), "French");
}

TEST_F(BaseMainWindow, AStoredLanguageBeyondTheListSelectsEnglishWithoutLoading) {
  WriteLanguage("", "FrmSampleMain.cmAbout.Caption=About us\r\n");
  WriteLanguage("Deutsch", "FrmSampleMain.cmAbout.Caption=Über\r\n");
  Contexte->WriteInteger("Language", 5);
  TFrmSampleMain form;
  EXPECT_EQ(Language->LanguageIndex(), 0);
  EXPECT_EQ(form.cmAbout->text(), "About");
  form.PopupMenuPopup();
  EXPECT_EQ(Checks(form.LanguageMenu()), QList<bool>({true, false}));
}

TEST_F(BaseMainWindow, ClickingTheCurrentLanguageReloadsNothingAndAnotherSwitches) {
  WriteLanguage("", "FrmSampleMain.cmAbout.Caption=About us\r\n");
  WriteLanguage("Deutsch", "FrmSampleMain.cmAbout.Caption=Über\r\n");
  Contexte->WriteInteger("Language", 1);
  TFrmSampleMain form;
  ASSERT_EQ(form.cmAbout->text(), "Über");
  WriteLanguage("Deutsch", "FrmSampleMain.cmAbout.Caption=Neu geladen\r\n");
  QAction* deutsch = form.LanguageMenu()->actions().at(4);
  deutsch->trigger();
  EXPECT_EQ(form.cmAbout->text(), "Über");

  form.LanguageMenu()->actions().at(3)->trigger();
  EXPECT_EQ(Language->LanguageIndex(), 0);
  EXPECT_EQ(form.cmAbout->text(), "About us");
  form.LanguageItemClick(&form);  // not a menu item: ignored
  EXPECT_EQ(Language->LanguageIndex(), 0);
}

TEST_F(BaseMainWindow, OnlineHelpShowsOnlyWithAHelpAddressAndOpensIt) {
  testenv::RecordingOpener opener;
  TFrmSampleMain form;
  form.show();
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 10), form.mapToGlobal(QPoint(10, 10)));
  QCoreApplication::sendEvent(&form, &click);
  EXPECT_TRUE(form.PopupMenu->isVisible());
  EXPECT_FALSE(form.cmOnlineHelp->isVisible());
  form.PopupMenu->close();
  form.cmOnlineHelpClick();
  EXPECT_TRUE(opener.Calls().isEmpty());

  Language->SetHelpURL("http://help.example.invalid/V2/articles.php?lng=fr&pg=11");
  QCoreApplication::sendEvent(&form, &click);
  EXPECT_TRUE(form.cmOnlineHelp->isVisible());
  form.PopupMenu->close();
  form.cmOnlineHelp->trigger();
  ASSERT_EQ(opener.Calls().size(), 1);
  EXPECT_TRUE(opener.Calls().first().contains("help.example.invalid/V2/articles.php")) << opener.Calls().first().toStdString();
}

TEST_F(BaseMainWindow, NewLanguageQueryCancelledOrEmptyCreatesNothing) {
  testenv::RecordingOpener opener;
  WriteLanguage("", "strings.0=Sprache hinzufügen\r\n");
  TFrmSampleMain form;
  QString caption, prompt;
  SetInputQuery([&](const QString& c, const QString& p, QString& value) {
    caption = c;
    prompt = p;
    EXPECT_TRUE(value.isEmpty());
    return false;
  });
  const QList<QAction*> before = form.LanguageMenu()->actions();
  form.cmNewLanguage->trigger();
  EXPECT_EQ(caption, "Sprache hinzufügen");  // read at the moment of use
  EXPECT_EQ(prompt, "Name :");
  EXPECT_EQ(form.LanguageMenu()->actions(), before);

  SetInputQuery([](const QString&, const QString&, QString& value) {
    value.clear();
    return true;
  });
  form.cmNewLanguageClick();
  EXPECT_EQ(Texts(form.LanguageMenu()), QStringList({"Add a new language", "Edit the language", "-", "English"}));
  EXPECT_EQ(QDir(root_).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
  EXPECT_TRUE(opener.Calls().isEmpty());
}

TEST_F(BaseMainWindow, AddedLanguageJoinsTheMenuInListOrderEvenWhenTheEditorFails) {
  WriteLanguage("", "FrmSampleMain.cmAbout.Caption=About\r\n");
  WriteLanguage("French", "FrmSampleMain.cmAbout.Caption=À propos\r\n");
  TFrmSampleMain form;
  SetInputQuery([](const QString&, const QString&, QString& value) {
    value = "Deutsch";
    return true;
  });
  {
    testenv::RecordingOpener noEditor(3);
    EXPECT_THROW(form.cmNewLanguageClick(), EToolsError);
  }
  EXPECT_EQ(Texts(form.LanguageMenu()).mid(3), QStringList({"English", "Deutsch", "French"}));
  form.LanguageMenu()->actions().at(5)->trigger();
  EXPECT_EQ(form.cmAbout->text(), "À propos");

  testenv::RecordingOpener opener;
  SetInputQuery([](const QString&, const QString&, QString& value) {
    value = "Alpha";
    return true;
  });
  form.cmNewLanguageClick();
  EXPECT_EQ(Texts(form.LanguageMenu()).mid(3), QStringList({"English", "Alpha", "Deutsch", "French"}));
  ASSERT_EQ(opener.Calls().size(), 1);
  EXPECT_TRUE(opener.Calls().first().endsWith("/Alpha/CaptionList.txt"));
  // French moved from index 2 to 3; the current language is still French.
  EXPECT_EQ(Language->LanguageName(), "French");
  form.PopupMenuPopup();
  EXPECT_EQ(Checks(form.LanguageMenu()), QList<bool>({false, false, false, true}));
}

TEST_F(BaseMainWindow, ClosingStoresLanguageAndPositionButNotWhenMaximised) {
  WriteLanguage("Deutsch", "FrmSampleMain.cmAbout.Caption=Über\r\n");
  Contexte->WriteInteger(kSection, "Left", 100);
  Contexte->WriteInteger(kSection, "Top", 120);
  Contexte->WriteInteger(kSection, "Width", 500);
  Contexte->WriteInteger(kSection, "Height", 300);
  {
    TFrmSampleMain form;
    EXPECT_EQ(form.pos(), QPoint(100, 120));
    EXPECT_EQ(form.size(), QSize(500, 300));
    form.show();
    form.move(30, 40);
    form.cmClose->trigger();
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_EQ(Contexte->ReadInteger(kSection, "Left", -1), 30);
  EXPECT_EQ(Contexte->ReadInteger(kSection, "Top", -1), 40);
  EXPECT_EQ(Contexte->ReadInteger("Language", -1), 0);

  TFrmSampleMain form;
  form.showMaximized();
  form.LanguageMenu()->actions().at(4)->trigger();
  form.close();
  EXPECT_EQ(Contexte->ReadInteger("Language", -1), 1);
  EXPECT_EQ(Contexte->ReadInteger(kSection, "Left", -1), 30);
  EXPECT_EQ(Contexte->ReadInteger(kSection, "Width", -1), 500);
}

TEST_F(BaseMainWindow, AWindowStoredOffTheScreenComesBackOnIt) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  Contexte->WriteInteger(kSection, "Left", screen.right() + 1200);
  Contexte->WriteInteger(kSection, "Top", screen.bottom() + 800);
  {
    TFrmSampleMain form;
    // The least move that shows 100 pixels of its width and its title bar.
    EXPECT_EQ(form.x(), screen.right() + 1 - 100);
    EXPECT_GE(form.y(), screen.top());
    EXPECT_LE(form.y() + kMinimumVisibleTitleBar, screen.bottom() + 1);
    EXPECT_GT(form.y(), screen.center().y());
    EXPECT_EQ(form.size(), QSize(415, 238));
  }
  Contexte->WriteInteger(kSection, "Left", screen.left() - 5000);
  Contexte->WriteInteger(kSection, "Top", screen.top() - 30);
  Contexte->WriteInteger(kSection, "Width", -50);
  Contexte->WriteInteger(kSection, "Height", 0);
  {
    TFrmSampleMain form;
    EXPECT_EQ(form.size(), QSize(415, 238)) << "a size below the minimum gives the designed size";
    EXPECT_EQ(form.x(), screen.left() + 100 - form.width());
    EXPECT_EQ(form.y(), screen.top());
  }
  // A window already on the screen stays where it was.
  Contexte->WriteInteger(kSection, "Left", screen.left() + 10);
  Contexte->WriteInteger(kSection, "Top", screen.top() + 20);
  Contexte->WriteInteger(kSection, "Width", 300);
  Contexte->WriteInteger(kSection, "Height", 200);
  TFrmSampleMain form;
  EXPECT_EQ(form.geometry(), QRect(screen.left() + 10, screen.top() + 20, 300, 200));
}

TEST_F(BaseMainWindow, WithoutAStoredPositionTheSystemPlacesTheWindow) {
  TFrmSampleMain form;
  EXPECT_FALSE(form.testAttribute(Qt::WA_Moved));
  Contexte->WriteInteger(kSection, "Left", 0);
  TFrmSampleMain placed;
  EXPECT_TRUE(placed.testAttribute(Qt::WA_Moved));
}

TEST_F(BaseMainWindow, QuittingClosesOpenWindowsThroughTheirCloseHandler) {
  TFrmSampleMain open, hidden;
  open.show();
  open.move(70, 80);
  open.LanguageMenu()->actions().at(3)->trigger();
  Language->SetLanguageIndex(-1);  // what an open window stores
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
  EXPECT_FALSE(open.isVisible());
  EXPECT_EQ(Contexte->ReadInteger(kSection, "Left", -1), 70);
  EXPECT_EQ(Contexte->ReadInteger("Language", 99), -1);

  // A hidden window has already been closed: nothing is stored again.
  Contexte->WriteInteger(kSection, "Left", 5);
  hidden.EndSession();
  EXPECT_EQ(Contexte->ReadInteger(kSection, "Left", -1), 5);
}

TEST_F(BaseMainWindow, AboutShowsTheBoxWithTheCurrentTextsAndFreesIt) {
  (*AppStrings)[sAbout] = "À propos";
  (*AppStrings)[sEditAboutFile] = "Modifier";
  TFrmSampleMain form;
  QString title, edit;
  bool isAboutBox = false;
  testenv::AnswerModal([&](QWidget* modal) {
    auto* box = qobject_cast<TfrmBaseAboutBox*>(modal);
    isAboutBox = box != nullptr;
    if (box) {
      title = box->windowTitle();
      edit = box->cmEdit->text();
      box->BtOK->click();
    } else {
      modal->close();
    }
  });
  form.cmAbout->trigger();
  EXPECT_TRUE(isAboutBox);
  EXPECT_EQ(title, "À propos");
  EXPECT_EQ(edit, "Modifier");
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<TfrmBaseAboutBox*>(w), nullptr);
}

#include "test_base_main.moc"
