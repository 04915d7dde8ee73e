#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QMenu>

#include "controls/qs_Component.h"
#include "framework/qs_contexte.h"
#include "framework/qs_fBaseAPropos.h"
#include "framework/qs_image.h"
#include "framework/qs_language.h"
#include "framework/qs_tools.h"
#include "tests/support/recording_opener.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/test_env.h"

namespace {

class AboutBox : public FrameworkTest {
 protected:
  void Select(int index) {
    Language->LoadLanguageList();
    Language->SetLanguageIndex(index);
  }
};

}  // namespace

TEST_F(AboutBox, ShowsTheLanguagesAboutTextOrTheCommonOne) {
  {
    TfrmBaseAboutBox box;  // no text anywhere: empty, no message
    EXPECT_TRUE(box.moAPropos->toPlainText().isEmpty());
  }
  ASSERT_TRUE(testenv::WriteFile(root_ + "/About.txt", "Common text\r\nsecond line\r\n"));
  ASSERT_TRUE(testenv::WriteFile(root_ + "/Deutsch/CaptionList.txt", ""));
  ASSERT_TRUE(testenv::WriteFile(root_ + "/French/About.txt", "Texte \xc3\xa0 propos\n"));
  Select(0);
  EXPECT_EQ(TfrmBaseAboutBox().moAPropos->toPlainText(), "Common text\nsecond line");
  Select(1);  // Deutsch has none of its own
  EXPECT_EQ(TfrmBaseAboutBox().moAPropos->toPlainText(), "Common text\nsecond line");
  Select(2);
  EXPECT_EQ(TfrmBaseAboutBox().moAPropos->toPlainText(), "Texte à propos");
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty());
}

TEST_F(AboutBox, EditingCreatesTheLanguagesEmptyFileOpensItAndKeepsTheShownText) {
  testenv::RecordingOpener opener;
  ASSERT_TRUE(testenv::WriteFile(root_ + "/About.txt", "Common text"));
  ASSERT_TRUE(testenv::WriteFile(root_ + "/Deutsch/CaptionList.txt", ""));
  Select(1);
  TfrmBaseAboutBox box;
  box.cmEdit->trigger();
  const QString created = root_ + "/Deutsch/About.txt";
  EXPECT_TRUE(QFileInfo::exists(created));
  EXPECT_EQ(QFileInfo(created).size(), 0);
  ASSERT_EQ(opener.Calls().size(), 1);
  EXPECT_TRUE(opener.Calls().first().endsWith("/Deutsch/About.txt"));
  EXPECT_EQ(box.moAPropos->toPlainText(), "Common text");
}

TEST_F(AboutBox, EditingWithoutTheLanguagesDirectoryReportsTheFailure) {
  testenv::RecordingOpener opener;
  Select(0);
  Language->SetLanguageIndex(0);
  qputenv("CINVO_LANGUAGES", (root_ + "/missing/deeper").toLocal8Bit());
  TfrmBaseAboutBox box;
  EXPECT_THROW(box.cmEditClick(), EToolsError);
  EXPECT_TRUE(opener.Calls().isEmpty());
}

TEST_F(AboutBox, NameVersionLinksAndMenuAsDesigned) {
  QPixmap icon(32, 32);
  icon.fill(Qt::red);
  QApplication::setWindowIcon(QIcon(icon));
  TfrmBaseAboutBox box;
  EXPECT_EQ(box._ProductName->Caption(), TqsContexte::AppName());
  EXPECT_EQ(box._lbNoVersion->text(), ProgramVersionText());
  EXPECT_EQ(box._lbNoVersion->text(), VersionText(CINVO_VERSION));
  EXPECT_EQ(box._LbMailTo->Caption(), kAuthorMail);
  EXPECT_EQ(box._LbMailTo->LinkKind(), lkMailTo);
  EXPECT_EQ(box._lbLink->LinkKind(), lkHttp);
  EXPECT_FALSE(box.ProgramIcon->Picture().isNull());
  EXPECT_EQ(box.windowTitle(), "About");
  EXPECT_EQ(box.cmEdit->text(), "Edit about file");
  EXPECT_EQ(box.PopupMenu->actions(), QList<QAction*>({box.cmEdit}));
  EXPECT_TRUE(box.moAPropos->isReadOnly());
  for (const char* address : {kAuthorMail, kAuthorHomePage, kMakerHomePage})
    EXPECT_TRUE(QString::fromLatin1(address).contains("example.invalid")) << address;
  QApplication::setWindowIcon(QIcon());
}

TEST_F(AboutBox, DoubleClickOnTheLogoOpensTheMakersHomePage) {
  testenv::RecordingOpener opener;
  TfrmBaseAboutBox box;
  const QPointF at(10, 10);
  QMouseEvent click(QEvent::MouseButtonDblClick, at, box.ImageTallwick->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(box.ImageTallwick, &click);
  ASSERT_EQ(opener.Calls().size(), 1);
  EXPECT_TRUE(opener.Calls().first().contains("www.example.invalid")) << opener.Calls().first().toStdString();
}

TEST(VersionText, FourNumbersFromTheVersion) {
  EXPECT_EQ(VersionText("2.2"), "2.2.0.0");
  EXPECT_EQ(VersionText("0.1.0"), "0.1.0.0");
  EXPECT_EQ(VersionText("1.2.3.4.5"), "1.2.3.4");
  EXPECT_EQ(VersionText("3.1-beta"), "3.0.0.0");
  EXPECT_EQ(VersionText(""), "");
  EXPECT_EQ(VersionText("unknown"), "");
}

TEST(Image, ALargerPictureIsReducedProportionallyAndCentred) {
  TImage image;
  image.resize(40, 40);
  image.SetCenter(true);
  image.SetProportional(true);
  image.SetPicture(QPixmap(80, 40));
  EXPECT_EQ(image.PictureRect(), QRect(0, 10, 40, 20));
  image.SetPicture(QPixmap(20, 10));  // smaller: its own size
  EXPECT_EQ(image.PictureRect(), QRect(10, 15, 20, 10));
  image.SetCenter(false);
  EXPECT_EQ(image.PictureRect(), QRect(0, 0, 20, 10));
}
