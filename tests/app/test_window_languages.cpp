// Languages with the program's real windows: the main window and the
// viewer it owns open at the same time, the parameters dialog and the about
// box in the written template, and the stored parameters read at start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QThread>

#include <functional>
#include <memory>

#include "app/pk_fmain.h"
#include "app/pk_fparam.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "controls/qs_Buttons.h"
#include "controls/qs_Component.h"
#include "framework/qs_fBaseAPropos.h"
#include "framework/qs_prompts.h"
#include "framework/qs_stringlist.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/recording_opener.h"
#include "viewer/pk_fViewer.h"

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

QStringList LanguageItems(const TFrmBaseMain& w) {
  QStringList names;
  for (const QAction* a : w.LanguageMenu()->actions().mid(3)) names.append(a->text());
  return names;
}

// The checked language item's text, after the menu's own preparation.
QString Checked(TFrmBaseMain& w) {
  w.PopupMenu->aboutToShow();
  QString checked;
  for (const QAction* a : w.LanguageMenu()->actions().mid(3))
    if (a->isChecked()) checked += a->text();
  return checked;
}

void Click(TFrmBaseMain& w, const QString& language) {
  w.PopupMenu->aboutToShow();
  for (QAction* a : w.LanguageMenu()->actions().mid(3))
    if (a->text() == language) return a->trigger();
  ADD_FAILURE() << "no item " << language.toStdString();
}

QString Stored(const char* name) { return Contexte->ReadString(QString::fromLatin1(name), QStringLiteral("-")); }

class WindowLanguages : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    InitializeLauncherStrings();
    movies_ = testenv::NewTempDir(QStringLiteral("movies"));
    Parameters().Load();
    Parameters().MovieDir = movies_;
    Parameters().CDReader.clear();
  }
  void TearDown() override {
    SetInputQuery(nullptr);
    main_.reset();  // owns the viewer
    ReleaseMovieList();
    ReleaseParameters();
    FrameworkTest::TearDown();
  }
  void WriteLanguage(const QString& language, const QString& text) {
    const QString dir = language.isEmpty() ? root_ : root_ + "/" + language;
    ASSERT_TRUE(testenv::WriteFile(dir + "/CaptionList.txt", text.toUtf8()));
  }
  QStringList FileLines(const QString& language) const {
    const QString dir = language.isEmpty() ? root_ : root_ + "/" + language;
    return QString::fromUtf8(testenv::ReadFile(dir + "/CaptionList.txt")).split("\r\n", Qt::SkipEmptyParts);
  }
  TFrmShowcase& Main() {
    main_ = std::make_unique<TFrmShowcase>();
    return *main_;
  }
  // The viewer, made the way the main window makes it for its first movie.
  TFrmViewer& Viewer() { return *new TFrmViewer(main_.get()); }

  QString movies_;
  std::unique_ptr<TFrmShowcase> main_;
};

const char* const kDeutsch =
    "FrmShowcase.btDiskMovie.Caption=Film starten\r\n"
    "FrmShowcase.cmParameters.Caption=Einstellungen\r\n"
    "FrmViewer.cmToolbar.Caption=Werkzeugleiste\r\n"
    "FrmViewer.cmAbout.Caption=Über\r\n"
    "strings.12=Erstellt am \r\n";

}  // namespace

TEST_F(WindowLanguages, ALanguageAddedInTheViewerReachesTheMainWindowsMenuByName) {
  WriteLanguage("Deutsch", kDeutsch);
  Contexte->WriteInteger("Language", 1);
  TFrmShowcase& main = Main();
  TFrmViewer& viewer = Viewer();
  ASSERT_EQ(Language->LanguageName(), "Deutsch");
  testenv::RecordingOpener opener;
  SetInputQuery([](const QString&, const QString&, QString& value) {
    value = "Aaa";
    return true;
  });
  viewer.cmNewLanguageClick();
  viewer.close();

  EXPECT_EQ(LanguageItems(main), QStringList({"English", "Aaa", "Deutsch"}));
  EXPECT_EQ(Checked(main), "Deutsch");
  // Deutsch is still Deutsch: clicking it loads nothing else.
  Click(main, "Deutsch");
  EXPECT_EQ(Language->LanguageName(), "Deutsch");
  EXPECT_EQ(main.btDiskMovie->text(), "Film starten");
  Click(main, "Aaa");
  EXPECT_EQ(Language->LanguageName(), "Aaa");
  EXPECT_EQ(Checked(main), "Aaa");
  EXPECT_EQ(Checked(viewer), "Aaa");
}

TEST_F(WindowLanguages, AChoiceIsStoredWhenMadeAndTheViewerKeepsIt) {
  WriteLanguage("Deutsch", kDeutsch);
  TFrmShowcase& main = Main();
  ASSERT_EQ(Language->LanguageIndex(), 0);
  Click(main, "Deutsch");
  EXPECT_EQ(Stored("LanguageName"), "Deutsch");
  EXPECT_EQ(Contexte->ReadInteger("Language", -1), 1);

  // Starting a movie makes the viewer: both windows stay in the language
  // chosen in this run.
  TFrmViewer& viewer = Viewer();
  EXPECT_EQ(main.btDiskMovie->text(), "Film starten");
  EXPECT_EQ(viewer.cmToolbar->text(), "Werkzeugleiste");
  EXPECT_EQ(Checked(main), "Deutsch");
  main.close();
  EXPECT_EQ(Contexte->ReadInteger("Language", -1), 1);
  EXPECT_EQ(Stored("LanguageName"), "Deutsch");
}

TEST_F(WindowLanguages, EachWindowWritesAndTakesOnlyItsOwnComponents) {
  WriteLanguage("Deutsch", "FrmShowcase.cmToolbar.Caption=Falsch\r\nFrmShowcase.cmAbout.Caption=Info\r\n");
  TFrmShowcase& main = Main();
  TFrmViewer& viewer = Viewer();
  viewer.setWindowTitle("Some movie");
  testenv::RecordingOpener opener;
  main.cmEditLanguageClick();
  const QStringList lines = FileLines("");
  EXPECT_EQ(lines.filter(QRegularExpression("^FrmShowcase\\.(FrmViewer|cmToolbar|_sbPause|cmGoTo)")), QStringList());
  EXPECT_EQ(lines.filter(QRegularExpression("^FrmShowcase\\.cmAbout\\.")).size(), 1);
  EXPECT_EQ(lines.filter(QRegularExpression("^FrmViewer\\.cmAbout\\.")).size(), 1);
  EXPECT_TRUE(lines.contains("FrmViewer.cmToolbar.Caption=Toolbar"));
  EXPECT_EQ(lines.filter("Some movie"), QStringList());

  // The main window's keys never reach the viewer's own menu.
  Click(main, "Deutsch");
  EXPECT_EQ(viewer.cmToolbar->text(), "Toolbar");
  EXPECT_EQ(viewer.cmAbout->text(), "About");
  EXPECT_EQ(main.cmAbout->text(), "Info");
}

TEST_F(WindowLanguages, BackToALanguageThatLacksAKeyBringsTheDesignedTextBack) {
  WriteLanguage("Deutsch", kDeutsch);
  TFrmShowcase& main = Main();
  TFrmViewer& viewer = Viewer();
  Click(main, "Deutsch");
  ASSERT_EQ(viewer.cmToolbar->text(), "Werkzeugleiste");
  ASSERT_EQ((*AppStrings)[sCreatedThe], "Erstellt am ");
  // English without a file of its own: every text as designed.
  Click(viewer, "English");
  EXPECT_EQ(viewer.cmToolbar->text(), "Toolbar");
  EXPECT_EQ(viewer.cmAbout->text(), "About");
  EXPECT_EQ(main.btDiskMovie->text(), "Start the movie");
  EXPECT_EQ((*AppStrings)[sCreatedThe], "Created the ");
  testenv::RecordingOpener opener;
  main.cmEditLanguageClick();
  const QStringList lines = FileLines("");
  EXPECT_TRUE(lines.contains("FrmViewer.cmToolbar.Caption=Toolbar"));
  EXPECT_EQ(lines.filter("Werkzeugleiste"), QStringList());

  // A file that has some keys: the others come back as designed.
  WriteLanguage("", "FrmShowcase.btDiskMovie.Caption=Play it\r\n");
  Click(main, "Deutsch");
  Click(main, "English");
  EXPECT_EQ(main.btDiskMovie->text(), "Play it");
  EXPECT_EQ(main.cmParameters->text(), "Parameters");
  EXPECT_EQ(viewer.cmToolbar->text(), "Toolbar");
}

TEST_F(WindowLanguages, TheInformationLinesChangeLanguageAtOnce) {
  ASSERT_TRUE(testenv::WriteFile(movies_ + "/Alpha.avi", QByteArray(4096, 'x')));
  WriteLanguage("Deutsch", kDeutsch);
  TFrmShowcase& main = Main();
  main.show();
  ASSERT_TRUE(testenv::WaitForEvents([&] { return main.Activated && !main.ListsPending() && main.ItemCount() == 1; }));
  main.ListView->setCurrentItem(main.Item(0));
  ASSERT_TRUE(main._lbInfoCreation->Caption().startsWith("Created the "));
  Click(main, "Deutsch");
  EXPECT_TRUE(main._lbInfoCreation->Caption().startsWith("Erstellt am ")) << main._lbInfoCreation->Caption().toStdString();
  EXPECT_TRUE(main._lbInfoFileName->Caption().endsWith("/Alpha.avi"));
}

TEST_F(WindowLanguages, TheTemplateHoldsTheParametersDialogAndTheAboutBox) {
  WriteLanguage("Deutsch", "FrmRBParam.cbRecurse.Caption=Mit Unterverzeichnissen\r\n"
                           "frmBaseAboutBox.lbHomePage.Caption=Startseite\r\n");
  TFrmShowcase& main = Main();
  testenv::RecordingOpener opener;
  main.cmEditLanguageClick();
  const QStringList lines = FileLines("");
  EXPECT_TRUE(lines.contains("FrmRBParam.cbRecurse.Caption=And subdirectories"));
  EXPECT_TRUE(lines.contains("FrmRBParam.tsViewer.Caption=Viewer"));
  EXPECT_TRUE(lines.contains("FrmRBParam.BtCancel.Caption=Cancel"));
  EXPECT_TRUE(lines.contains("frmBaseAboutBox.lbHomePage.Caption=Home page"));
  // Made for the write only: nothing of them is left open.
  EXPECT_EQ(FrmRBParam, nullptr);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(w->inherits("TFrmRBParam")) << "dialog left behind";
    EXPECT_FALSE(w->inherits("TfrmBaseAboutBox")) << "about box left behind";
  }

  // A translated dialog and about box.
  Click(main, "Deutsch");
  TFrmRBParam dialog;
  EXPECT_EQ(dialog.cbRecurse->text(), "Mit Unterverzeichnissen");
  TfrmBaseAboutBox box;
  EXPECT_EQ(box.lbHomePage->text(), "Startseite");
}

// ------------------------------------------------------------ stored values

TEST_F(WindowLanguages, StoredValuesOutOfRangeAreTakenAsDefaults) {
  Contexte->WriteInteger("Brightness", 99999);
  Contexte->WriteInteger("ScreenSettingsMode", 257);
  Contexte->WriteInteger("ViewMode", 9);
  Contexte->WriteInteger("ListViewWidth", -40);
  Parameters().Load();
  EXPECT_EQ(Parameters().Brightness, 5000);
  EXPECT_EQ(Parameters().ScreenSettingsMode, 0);
  TFrmShowcase& main = Main();  // applies the brightness: no error
  main.show();
  EXPECT_EQ(main.Splitter->sizes().value(0), 165);
  EXPECT_EQ(Viewer().ViewMode(), 2);

  Contexte->WriteInteger("Brightness", -1);
  Contexte->WriteInteger("ScreenSettingsMode", 1);
  Parameters().Load();
  EXPECT_EQ(Parameters().Brightness, 5000);
  EXPECT_EQ(Parameters().ScreenSettingsMode, 1);
  Contexte->WriteInteger("Brightness", 10000);
  Parameters().Load();
  EXPECT_EQ(Parameters().Brightness, 10000);
}
