#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/qs_captionfile.h"
#include "framework/qs_captions.h"
#include "framework/qs_contexte.h"
#include "framework/qs_datadirs.h"
#include "framework/qs_language.h"
#include "framework/qs_str.h"
#include "framework/qs_tools.h"
#include "tests/support/recording_opener.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/test_env.h"

namespace {

// One of our own controls: its Caption is a property, not a Qt text.
class TqsSample : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
 public:
  using QWidget::QWidget;
  QString Caption() const { return fCaption; }
  void SetCaption(const QString& value) { fCaption = value; }

 private:
  QString fCaption;
};

class TFrmSample : public TqsForm {
  Q_OBJECT
 public:
  TFrmSample() {
    auto* layout = new QVBoxLayout(this);
    lbTitle = Named(new QLabel("Title", this), "lbTitle");
    btGo = Named(new QPushButton("Go", this), "btGo");
    btGo->setToolTip("Start it");
    _lbData = Named(new QLabel("12 movies", this), "_lbData");
    _lbData->setToolTip("How many");
    cbLoop = Named(new QCheckBox("Loop", this), "cbLoop");
    gbOptions = Named(new QGroupBox("Options", this), "gbOptions");
    auto* tabs = Named(new QTabWidget(this), "pcPages");
    tsFirst = Named(new QWidget, "tsFirst");
    tabs->addTab(tsFirst, "First page");
    cmToolbar = Named(new QAction("Toolbar", this), "cmToolbar");
    cmMore = Named(new QMenu("More", this), "cmMore");
    qsOwn = Named(new TqsSample(this), "qsOwn");
    qsOwn->SetCaption("Own caption");
    for (QWidget* w : std::initializer_list<QWidget*>{lbTitle, btGo, _lbData, cbLoop, gbOptions, tabs, qsOwn})
      layout->addWidget(w);
    SetOnTranslate([this](QObject*) { ++translated; });
  }
  template <typename T>
  T* Named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
  }

  QLabel* lbTitle;
  QPushButton* btGo;
  QLabel* _lbData;
  QCheckBox* cbLoop;
  QGroupBox* gbOptions;
  QWidget* tsFirst;
  QAction* cmToolbar;
  QMenu* cmMore;
  TqsSample* qsOwn;
  int translated = 0;
};

class LanguageFiles : public FrameworkTest {
 protected:
  QString File(const QString& language = QString()) const {
    return language.isEmpty() ? root_ + "/CaptionList.txt" : root_ + "/" + language + "/CaptionList.txt";
  }
  QStringList Lines(const QString& path) const {
    return QString::fromUtf8(testenv::ReadFile(path)).split("\r\n", Qt::SkipEmptyParts);
  }

};

}  // namespace

TEST_F(LanguageFiles, StartUpOrderAndTheFrameworkStrings) {
  ASSERT_NE(AppStrings, nullptr);
  ASSERT_NE(Contexte, nullptr);
  ASSERT_NE(Language, nullptr);
  const QStringList expected = {"Language to add", "Name :", "About", "Edit about file", "OK",
                                "Cancel",          "Add",    "Delete", "Replace"};
  EXPECT_EQ(AppStrings->Lines(), expected);
  EXPECT_EQ(sLanguageToAdd, 0);
  EXPECT_EQ(sReplace, 8);
  FinalizeSettingsUnit();
  EXPECT_EQ(AppStrings, nullptr);
  EXPECT_EQ(Contexte, nullptr);
  EXPECT_EQ(Language, nullptr);
  InitializeSettingsUnit();  // for TearDown
  EXPECT_EQ(AppStrings->Count(), 9);
}

TEST_F(LanguageFiles, TemplateEditSwitchAndSwitchBack) {
  testenv::RecordingOpener opener;
  TFrmSample form;
  Language->LoadLanguageList();
  Language->EditLanguage();  // English has no file yet: the template is written
  EXPECT_EQ(opener.Calls().size(), 1);
  const QByteArray raw = testenv::ReadFile(File());
  EXPECT_TRUE(raw.endsWith("strings.8=Replace\r\n"));
  EXPECT_EQ(raw.count("\r\n"), raw.count('\n'));
  const QStringList lines = Lines(File());
  for (const char* line : {"FrmSample.lbTitle.Caption=Title", "FrmSample.btGo.Caption=Go", "FrmSample.btGo.Hint=Start it",
                           "FrmSample._lbData.Hint=How many", "FrmSample.cbLoop.Caption=Loop",
                           "FrmSample.gbOptions.Caption=Options", "FrmSample.tsFirst.Caption=First page",
                           "FrmSample.cmToolbar.Caption=Toolbar", "FrmSample.cmMore.Caption=More",
                           "FrmSample.qsOwn.Caption=Own caption", "strings.0=Language to add", "strings.2=About"})
    EXPECT_TRUE(lines.contains(line)) << line;
  EXPECT_FALSE(raw.contains("_lbData.Caption"));
  EXPECT_FALSE(raw.contains("cmToolbar.Hint"));  // an action's default tool tip is no hint
  EXPECT_LT(lines.indexOf("FrmSample.cmToolbar.Caption=Toolbar"), lines.indexOf("strings.0=Language to add"));

  Language->AddLanguage("Deutsch");
  EXPECT_EQ(Language->LanguageList().Lines(), QStringList({"English", "Deutsch"}));
  EXPECT_EQ(testenv::ReadFile(File("Deutsch")), raw);
  EXPECT_EQ(opener.Calls().size(), 2);
  EXPECT_TRUE(opener.Calls().last().endsWith("/Deutsch/CaptionList.txt"));

  QString text = QString::fromUtf8(testenv::ReadFile(File("Deutsch")));
  text.replace("FrmSample.lbTitle.Caption=Title", "FrmSample.lbTitle.Caption=Titel");
  text.replace("FrmSample.btGo.Caption=Go", "frmsample.BTGO.caption=Los");  // any letter case
  text.replace("FrmSample.cbLoop.Caption=Loop", "FrmSample.cbLoop.Caption=a=b");
  text.replace("FrmSample.gbOptions.Caption=Options", "FrmSample.gbOptions.Caption=");  // empty: no translation
  text.replace("FrmSample.tsFirst.Caption=First page", "FrmSample.tsFirst.Caption=Erste Seite");
  text.replace("FrmSample.qsOwn.Caption=Own caption", "FrmSample.qsOwn.Caption=Eigene");
  text.replace("FrmSample._lbData.Hint=How many", "FrmSample._lbData.Hint=Wie viele");
  text.replace("strings.2=About", "no equals sign here\nstrings.2=Über");
  ASSERT_TRUE(testenv::WriteFile(File("Deutsch"), text.toUtf8()));

  form.translated = 0;
  Language->SetLanguage(1);
  EXPECT_EQ(form.lbTitle->text(), "Titel");
  EXPECT_EQ(form.btGo->text(), "Los");
  EXPECT_EQ(form.cbLoop->text(), "a=b");
  EXPECT_EQ(form.gbOptions->title(), "Options");
  EXPECT_EQ(form.findChild<QTabWidget*>()->tabText(0), "Erste Seite");
  EXPECT_EQ(form.qsOwn->Caption(), "Eigene");
  EXPECT_EQ(form._lbData->toolTip(), "Wie viele");
  EXPECT_EQ((*AppStrings)[sAbout], "Über");
  EXPECT_EQ(form.translated, 1);

  // English now lacks the title and a string: they come back as designed.
  QString english = QString::fromUtf8(testenv::ReadFile(File()));
  english.remove("FrmSample.lbTitle.Caption=Title\r\n");
  english.remove("strings.2=About\r\n");
  ASSERT_TRUE(testenv::WriteFile(File(), english.toUtf8()));
  Language->SetLanguage(0);
  EXPECT_EQ(form.lbTitle->text(), "Title");
  EXPECT_EQ(form.btGo->text(), "Go");
  EXPECT_EQ(form._lbData->toolTip(), "How many");
  EXPECT_EQ((*AppStrings)[sAbout], "About");
  // Without any English file: every text as designed.
  Language->SetLanguage(1);
  ASSERT_TRUE(QFile::remove(File()));
  Language->SetLanguage(0);
  EXPECT_EQ(form.btGo->text(), "Go");
  EXPECT_EQ(form.qsOwn->Caption(), "Own caption");
  EXPECT_EQ((*AppStrings)[sAbout], "About");
}

TEST_F(LanguageFiles, WritingNamesAndHintsFollowTheUnderscoreRule) {
  TFrmSample form;
  form.lbTitle->setObjectName("_Title");
  form.lbTitle->setToolTip("Title hint");
  form.cbLoop->setObjectName("");
  form.cbLoop->setToolTip("unnamed");
  const QString path = testenv::NewTempDir() + "/out.txt";
  Language->WriteCaptionList(path);
  const QStringList lines = Lines(path);
  EXPECT_TRUE(lines.contains("FrmSample._Title.Hint=Title hint"));
  EXPECT_FALSE(lines.join('\n').contains("_Title.Caption"));
  EXPECT_FALSE(lines.join('\n').contains("unnamed"));
  EXPECT_FALSE(lines.join('\n').contains("Loop"));
}

TEST_F(LanguageFiles, LanguageListSkipsFilesAndHiddenDirectoriesAndIsStable) {
  TqsStringList list;
  TqsLanguage::ListLanguages(list);
  EXPECT_EQ(list.Lines(), QStringList({"English"}));  // no Languages directory

  for (const char* dir : {"zulu", "English", "Alpha", ".hidden"}) QDir().mkpath(root_ + "/" + dir);
  ASSERT_TRUE(testenv::WriteFile(root_ + "/Beta", "a file, not a language"));
  TqsLanguage::ListLanguages(list);
  EXPECT_EQ(list.Lines(), QStringList({"English", "Alpha", "English", "zulu"}));
}

TEST_F(LanguageFiles, LocaleRuleAndStoredIndexesOutOfRange) {
  QDir().mkpath(root_ + "/French");
  ASSERT_TRUE(testenv::WriteFile(File("French"), "strings.2=A propos\n"));
  {
    TqsLanguage french(QStringLiteral("french"));
    EXPECT_EQ(french.LanguageIndex(), 1);
    french.LoadLanguageList();
    EXPECT_EQ(french.LanguageName(), "French");
  }
  EXPECT_EQ(TqsLanguage(QStringLiteral("German")).LanguageIndex(), 0);
  {
    TqsLanguage french(QStringLiteral("French"));
    QDir(root_ + "/French").removeRecursively();
    french.LoadLanguageList();  // no French directory any more: English
    EXPECT_EQ(french.LanguageIndex(), 0);
  }
  QDir().mkpath(root_ + "/French");
  ASSERT_TRUE(testenv::WriteFile(File("French"), "strings.2=A propos\n"));

  Language->LoadLanguageList();
  Language->ForceReload();
  Language->SetLanguage(5);  // beyond the two languages: English, nothing loaded
  EXPECT_EQ(Language->LanguageIndex(), 0);
  EXPECT_EQ(Language->Captions().Count(), 0);
  Language->ForceReload();
  Language->SetLanguage(-1);
  EXPECT_EQ(Language->LanguageIndex(), -1);
  EXPECT_EQ(Language->LanguageName(), "");
  EXPECT_EQ(Language->Captions().Count(), 0);
  EXPECT_EQ((*AppStrings)[sAbout], "About");

  Language->SetLanguage(1);
  EXPECT_EQ((*AppStrings)[sAbout], "A propos");
  ASSERT_TRUE(testenv::WriteFile(File("French"), "strings.2=Changed\n"));
  Language->SetLanguage(1);  // already current: no reload
  EXPECT_EQ((*AppStrings)[sAbout], "A propos");
  Language->ForceReload();
  Language->SetLanguage(1);
  EXPECT_EQ((*AppStrings)[sAbout], "Changed");
  EXPECT_FALSE(Language->ReloadPending());
}

TEST_F(LanguageFiles, ReadingAcceptsAnyLineBreakAndLatin1) {
  const QString dir = testenv::NewTempDir();
  ASSERT_TRUE(testenv::WriteFile(dir + "/a.txt", "\xEF\xBB\xBF" "a=1\r\nb=\xC3\xA9\rc=3\nd=4"));
  QStringList lines;
  QString error;
  ASSERT_TRUE(ReadCaptionFile(dir + "/a.txt", lines, error));
  EXPECT_EQ(lines, QStringList({"a=1", "b=é", "c=3", "d=4"}));

  ASSERT_TRUE(testenv::WriteFile(dir + "/b.txt", "Caption=Caf\xE9\r\n"));  // not UTF-8
  ASSERT_TRUE(ReadCaptionFile(dir + "/b.txt", lines, error));
  EXPECT_EQ(lines, QStringList({"Caption=Café"}));

  // Stacked byte-order marks, in a UTF-8 and in an 8-bit file: all dropped,
  // and the file reads the same after it is written back.
  for (const QByteArray& data : {QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF" "first=1\r\nx=\xC3\xA9\r\n"),
                                 QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF" "first=1\r\nx=\xE9\r\n")}) {
    ASSERT_TRUE(testenv::WriteFile(dir + "/c.txt", data));
    ASSERT_TRUE(ReadCaptionFile(dir + "/c.txt", lines, error));
    EXPECT_EQ(lines, QStringList({"first=1", "x=é"}));
    WriteCaptionFile(dir + "/c.txt", lines);
    ASSERT_TRUE(ReadCaptionFile(dir + "/c.txt", lines, error));
    EXPECT_EQ(TqsStringList(lines).Values("FIRST"), "1");
  }

  const TqsStringList captions(QStringList{"novalue", "Dup=first", "dup=second", "Eq=x=y", "Empty="});
  EXPECT_EQ(captions.Values("DUP"), "first");
  EXPECT_EQ(captions.Values("eq"), "x=y");
  EXPECT_EQ(captions.Values("Empty"), "");
  EXPECT_EQ(captions.Values("novalue"), "");
  EXPECT_EQ(captions.IndexOfName("novalue"), -1);
}

TEST_F(LanguageFiles, UnreadableLanguageFileKeepsTheTextsAndSaysWhy) {
  QDir().mkpath(root_ + "/Broken/CaptionList.txt");  // a directory where the file should be
  Language->LoadLanguageList();
  Language->SetLanguage(1);
  testenv::DrainEvents();
  ASSERT_EQ(testenv::RecordedErrors().size(), 1);
  EXPECT_TRUE(testenv::RecordedErrors()[0].contains("Broken/CaptionList.txt"));
  EXPECT_EQ((*AppStrings)[sAbout], "About");
}

TEST_F(LanguageFiles, WritingReplacesTheFileWholeOrRaises) {
  const QString dir = testenv::NewTempDir();
  ASSERT_TRUE(testenv::WriteFile(dir + "/CaptionList.txt", "old=1\r\n"));
  Language->WriteCaptionList(dir + "/CaptionList.txt");
  EXPECT_TRUE(testenv::ReadFile(dir + "/CaptionList.txt").startsWith("strings.0="));
  EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no temporary file left

  EXPECT_THROW(Language->WriteCaptionList(dir + "/missing/CaptionList.txt"), EInOutError);
  QDir().mkpath(dir + "/taken");
  EXPECT_THROW(Language->WriteCaptionList(dir + "/taken"), EInOutError);
  EXPECT_TRUE(QFileInfo(dir + "/taken").isDir());
}

TEST_F(LanguageFiles, AddingLanguagesWithBadNamesOrNoTemplate) {
  testenv::RecordingOpener opener;
  Language->LoadLanguageList();
  Language->AddLanguage("");
  EXPECT_FALSE(QFileInfo::exists(root_));
  EXPECT_TRUE(opener.Calls().isEmpty());

  for (const QString& bad : {QString("../outside"), QString(".hidden"), QString("a/b"), QString("  ")})
    EXPECT_THROW(Language->AddLanguage(bad), EQSException) << bad.toStdString();
  EXPECT_THROW(Language->AddLanguage(QString(300, 'x')), EQSException);  // the file system refuses it
  EXPECT_FALSE(QFileInfo::exists(root_ + "/../outside"));

  // No template yet: it is written first, then copied.
  Language->AddLanguage("Espanol");
  EXPECT_TRUE(testenv::ReadFile(File()).endsWith("strings.8=Replace\r\n"));
  EXPECT_EQ(testenv::ReadFile(File("Espanol")), testenv::ReadFile(File()));
  ASSERT_EQ(opener.Calls().size(), 1);
  EXPECT_TRUE(opener.Calls().first().endsWith("/Espanol/CaptionList.txt"));
  EXPECT_EQ(Language->LanguageList().Lines(), QStringList({"English", "Espanol"}));

  // Adding a language again keeps the translator's file.
  ASSERT_TRUE(testenv::WriteFile(File(), "strings.0=template\r\n"));
  ASSERT_TRUE(testenv::WriteFile(File("Espanol"), "strings.0=mine\r\n"));
  Language->AddLanguage("Espanol");
  EXPECT_EQ(testenv::ReadFile(File("Espanol")), "strings.0=mine\r\n");
}

TEST_F(LanguageFiles, EditingAnAddedLanguageWithoutItsFileStartsFromTheTemplate) {
  testenv::RecordingOpener opener;
  ASSERT_TRUE(testenv::WriteFile(File(), "strings.0=template\r\n"));
  QDir().mkpath(root_ + "/Italiano");
  Language->LoadLanguageList();
  Language->SetLanguageIndex(1);
  Language->EditLanguage();
  EXPECT_EQ(testenv::ReadFile(File("Italiano")), "strings.0=template\r\n");
  ASSERT_EQ(opener.Calls().size(), 1);  // opened exactly once
}

TEST_F(LanguageFiles, AboutFiles) {
  QDir().mkpath(root_ + "/Italiano");
  Language->LoadLanguageList();
  EXPECT_EQ(Language->AboutFile(), root_ + "/About.txt");
  Language->SetLanguageIndex(1);
  EXPECT_EQ(Language->AboutFile(), root_ + "/About.txt");  // none of its own
  const QString own = Language->AboutFileForEdit();
  EXPECT_EQ(own, root_ + "/Italiano/About.txt");
  EXPECT_TRUE(QFileInfo(own).isFile());
  EXPECT_EQ(QFileInfo(own).size(), 0);
  EXPECT_EQ(Language->AboutFile(), own);

  // A language directory that is gone, or that the user cannot write, is
  // named as such.
  qputenv("CINVO_LANGUAGES", (root_ + "/gone").toLocal8Bit());
  try {
    Language->AboutFileForEdit();
    ADD_FAILURE() << "no error";
  } catch (const EToolsError& e) {
    EXPECT_EQ(e.Message(), "The about file \"" + root_ + "/gone/Italiano/About.txt\" cannot be created: the directory \"" +
                               root_ + "/gone/Italiano\" does not exist.");
  }
  qputenv("CINVO_LANGUAGES", root_.toLocal8Bit());
  const QString blocked = root_ + "/Italiano";
  ASSERT_TRUE(QFile::remove(own));
  ASSERT_TRUE(QFile::setPermissions(blocked, QFile::ReadOwner | QFile::ExeOwner));
  if (QFile file(own); file.open(QIODevice::WriteOnly)) {
    file.remove();
    GTEST_SKIP() << "running with rights that ignore permissions";
  }
  try {
    Language->AboutFileForEdit();
    ADD_FAILURE() << "no error";
  } catch (const EToolsError& e) {
    EXPECT_EQ(e.Message(), "The about file \"" + own + "\" cannot be created: the directory \"" + blocked +
                               "\" cannot be written.");
  }
  QFile::setPermissions(blocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// An installed program cannot write its own directory: the user's languages
// live in the user's data directory, the installed ones stay readable and
// listed, and editing one of those edits the user's own copy.
TEST_F(LanguageFiles, InstalledLanguagesAreListedAndEditedAsTheUsersOwnCopy) {
  testenv::RecordingOpener opener;
  qunsetenv("CINVO_LANGUAGES");
  const QString base = testenv::NewTempDir("installed");
  qputenv("XDG_DATA_HOME", (base + "/data").toLocal8Bit());
  qputenv("HOME", base.toLocal8Bit());
  SetProgramPlaceForTests(base + "/prefix/bin", false);
  const QString installed = base + "/prefix/share/cinvo/Languages";
  const QString own = base + "/data/Cinvo/Languages";
  ASSERT_TRUE(testenv::WriteFile(installed + "/CaptionList.txt", "strings.0=template\r\n"));
  ASSERT_TRUE(testenv::WriteFile(installed + "/About.txt", "installed about\r\n"));
  ASSERT_TRUE(testenv::WriteFile(installed + "/Deutsch/CaptionList.txt", "strings.0=Sprache\r\n"));
  ASSERT_TRUE(QDir().mkpath(own + "/Espanol"));
  ASSERT_TRUE(QDir().mkpath(own + "/Deutsch"));  // both places: listed once

  EXPECT_EQ(TqsLanguage::LanguagesDir(), own);
  EXPECT_EQ(TqsLanguage::InstalledLanguagesDir(), installed);
  EXPECT_EQ(DefaultMovieDir(), QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
  Language->LoadLanguageList();
  EXPECT_EQ(Language->LanguageList().Lines(), QStringList({"English", "Deutsch", "Espanol"}));

  Language->SetLanguage(1);  // read from the installed file
  EXPECT_EQ((*AppStrings)[0], "Sprache");
  EXPECT_EQ(Language->AboutFile(), installed + "/About.txt");
  Language->EditLanguage();
  EXPECT_EQ(testenv::ReadFile(own + "/Deutsch/CaptionList.txt"), "strings.0=Sprache\r\n");
  EXPECT_EQ(opener.Calls().size(), 1);
  EXPECT_TRUE(opener.Calls().last().endsWith(own + "/Deutsch/CaptionList.txt"));

  Language->AddLanguage("Italiano");  // from the installed template
  EXPECT_EQ(testenv::ReadFile(own + "/Italiano/CaptionList.txt"), "strings.0=template\r\n");
  EXPECT_EQ(Language->LanguageList().Lines(), QStringList({"English", "Deutsch", "Espanol", "Italiano"}));

  Language->SetLanguageIndex(0);
  EXPECT_EQ(Language->AboutFileForEdit(), own + "/About.txt");
  EXPECT_EQ(testenv::ReadFile(own + "/About.txt"), "installed about\r\n");
  EXPECT_EQ(Language->AboutFile(), own + "/About.txt");
  // Nothing was written beside the installed program.
  EXPECT_FALSE(QFileInfo::exists(base + "/prefix/bin"));
  EXPECT_EQ(testenv::ReadFile(installed + "/Deutsch/CaptionList.txt"), "strings.0=Sprache\r\n");
}

TEST_F(LanguageFiles, AWritableProgramDirectoryKeepsEverythingBesideTheProgram) {
  qunsetenv("CINVO_LANGUAGES");
  const QString dir = testenv::NewTempDir("unpacked");
  SetProgramPlaceForTests(dir, true);
  EXPECT_EQ(TqsLanguage::LanguagesDir(), dir + "/Languages");
  EXPECT_EQ(TqsLanguage::InstalledLanguagesDir(), QString());
  EXPECT_EQ(UserDataDir(), dir + "/");
  EXPECT_EQ(DefaultMovieDir(), dir + "/Movies");
}

TEST(CaptionAdapter, MapsCaptionAndHintByClass) {
  QWidget form;
  auto* action = new QAction("&Save...", &form);
  EXPECT_EQ(ComponentCaption(action), "&Save...");
  EXPECT_EQ(ComponentHint(action), "");
  action->setToolTip("Saves it");
  EXPECT_EQ(ComponentHint(action), "Saves it");
  auto* layout = new QVBoxLayout(&form);
  EXPECT_FALSE(ComponentCaption(layout));
  EXPECT_FALSE(SetComponentCaption(layout, "x"));
  auto* plain = new QWidget(&form);
  EXPECT_FALSE(ComponentCaption(plain));
  EXPECT_EQ(ComponentHint(plain), "");
  auto* dynamic = new QObject(&form);
  dynamic->setProperty("Caption", "dyn");
  ASSERT_TRUE(SetComponentCaption(dynamic, "changed"));
  EXPECT_EQ(dynamic->property("Caption").toString(), "changed");
}

#include "test_language.moc"
