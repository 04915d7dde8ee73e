#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

#include "app/pk_fparam.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "framework/qs_contexte.h"
#include "framework/qs_language.h"
#include "framework/qs_prompts.h"
#include "framework/qs_stringlist.h"
#include "tests/support/modal_answer.h"
#include "tests/support/test_env.h"

namespace {

class ParametersDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testenv::NewTempDir("app") + "/Languages";
    qputenv("CINVO_LANGUAGES", root_.toLocal8Bit());
    InitializeSettingsUnit();
    InitializeLauncherStrings();
    Language->SetLanguageIndex(0);
    ReleaseParameters();
    TRBParameters& p = Parameters();
    p.Recurse = true;
    p.MovieDir = "/films/a";
    p.CDReader = "/dev/sr0";
    p.ExitOnView = true;
    p.InternalViewer = false;
    p.CopyFromCD = true;
    p.ScreenSettingsMode = 1;
    p.Brightness = 6300;
    p.MovieTypes = "*.avi *.mkv";
  }
  void TearDown() override {
    SetSelectDirectory(nullptr);
    ReleaseParameters();
    FinalizeSettingsUnit();
    qunsetenv("CINVO_LANGUAGES");
  }
  // Shows the dialog and lets `answer` act on it before it closes.
  bool Edit(const std::function<void(TFrmRBParam*)>& answer) {
    testenv::AnswerModal([answer](QWidget* modal) {
      auto* dialog = qobject_cast<TFrmRBParam*>(modal);
      if (dialog)
        answer(dialog);
      else
        modal->close();
    });
    return EditParameters();
  }
  static void Same(const TRBParameters& a, const TRBParameters& b) {
    EXPECT_EQ(a.Recurse, b.Recurse);
    EXPECT_EQ(a.MovieDir, b.MovieDir);
    EXPECT_EQ(a.CDReader, b.CDReader);
    EXPECT_EQ(a.ExitOnView, b.ExitOnView);
    EXPECT_EQ(a.InternalViewer, b.InternalViewer);
    EXPECT_EQ(a.CopyFromCD, b.CopyFromCD);
    EXPECT_EQ(a.ScreenSettingsMode, b.ScreenSettingsMode);
    EXPECT_EQ(a.Brightness, b.Brightness);
    EXPECT_EQ(a.MovieTypes, b.MovieTypes);
  }
  static TRBParameters Copy() {
    TRBParameters c;
    const TRBParameters& p = Parameters();
    c.Recurse = p.Recurse;
    c.MovieDir = p.MovieDir;
    c.CDReader = p.CDReader;
    c.ExitOnView = p.ExitOnView;
    c.InternalViewer = p.InternalViewer;
    c.CopyFromCD = p.CopyFromCD;
    c.ScreenSettingsMode = p.ScreenSettingsMode;
    c.Brightness = p.Brightness;
    c.MovieTypes = p.MovieTypes;
    return c;
  }
  QString root_;
};

}  // namespace

TEST_F(ParametersDialog, ConfirmingUntouchedChangesOnlyABrightnessBetweenHundreds) {
  TRBParameters before = Copy();
  EXPECT_TRUE(Edit([](TFrmRBParam* d) { d->BtOK->click(); }));
  Same(Parameters(), before);

  Parameters().Brightness = 5099;
  before = Copy();
  EXPECT_TRUE(Edit([](TFrmRBParam* d) { d->BtOK->click(); }));
  before.Brightness = 5000;
  Same(Parameters(), before);
  EXPECT_EQ(FrmRBParam, nullptr);  // a fresh dialog for every call
}

TEST_F(ParametersDialog, CancelAfterEditingLeavesEverything) {
  const TRBParameters before = Copy();
  EXPECT_FALSE(Edit([](TFrmRBParam* d) {
    d->edMovieDir->setText("/elsewhere");
    d->cbRecurse->setChecked(false);
    d->tbBrightness->setValue(10);
    d->cbViewerScreenSettings->setCurrentIndex(0);
    d->BtCancel->click();
  }));
  Same(Parameters(), before);
  EXPECT_FALSE(Edit([](TFrmRBParam* d) {
    d->edCDDrive->setText("/media/cdrom");
    d->close();  // closing the window is no confirmation
  }));
  Same(Parameters(), before);
}

TEST_F(ParametersDialog, EditedValuesReachTheParametersOnOK) {
  EXPECT_TRUE(Edit([](TFrmRBParam* d) {
    d->edMovieDir->setText("/films/b");
    d->edCDDrive->setText("/media/user/DVD_VIDEO");
    d->cbRecurse->setChecked(false);
    d->cbExitOnView->setChecked(false);
    d->cbInternalViewer->setChecked(true);
    d->cbCopyFromCD->setChecked(false);
    d->cbViewerScreenSettings->setCurrentIndex(0);
    d->tbBrightness->setValue(73);
    d->BtOK->click();
  }));
  const TRBParameters& p = Parameters();
  EXPECT_EQ(p.MovieDir, "/films/b");
  EXPECT_EQ(p.CDReader, "/media/user/DVD_VIDEO");
  EXPECT_FALSE(p.Recurse);
  EXPECT_FALSE(p.ExitOnView);
  EXPECT_TRUE(p.InternalViewer);
  EXPECT_FALSE(p.CopyFromCD);
  EXPECT_EQ(p.ScreenSettingsMode, 0);
  EXPECT_EQ(p.Brightness, 7300);
}

TEST_F(ParametersDialog, MovieTypesComeFromAPresetOrAreTypedByHand) {
  EXPECT_TRUE(Edit([](TFrmRBParam* d) {
    EXPECT_EQ(d->cbMovieTypes->currentText(), "*.avi *.mkv");
    ASSERT_EQ(d->cbMovieTypes->count(), 2);
    EXPECT_EQ(d->cbMovieTypes->itemText(0), "AVI only");
    EXPECT_EQ(d->cbMovieTypes->itemText(1), "Common video files");
    d->cbMovieTypes->setCurrentIndex(1);
    Q_EMIT d->cbMovieTypes->activated(1);
    EXPECT_EQ(d->cbMovieTypes->currentText(), kCommonMovieTypes);
    d->BtOK->click();
  }));
  EXPECT_EQ(Parameters().MovieTypes, kCommonMovieTypes);

  EXPECT_TRUE(Edit([](TFrmRBParam* d) {
    d->cbMovieTypes->setEditText("mkv, *.MP4;webm");
    d->BtOK->click();
  }));
  EXPECT_EQ(Parameters().MovieTypes, "*.mkv *.MP4 *.webm");

  // A list with nothing usable in it would hide every movie.
  EXPECT_TRUE(Edit([](TFrmRBParam* d) {
    d->cbMovieTypes->setEditText(" ; ");
    d->BtOK->click();
  }));
  EXPECT_EQ(Parameters().MovieTypes, "*.avi");
}

TEST_F(ParametersDialog, AScreenModeOutsideTheChoicesShowsNoneAndStoresNoChange) {
  Parameters().ScreenSettingsMode = 5;
  int shown = 0;
  EXPECT_TRUE(Edit([&](TFrmRBParam* d) {
    shown = d->cbViewerScreenSettings->currentIndex();
    d->BtOK->click();
  }));
  EXPECT_EQ(shown, -1);
  EXPECT_EQ(Parameters().ScreenSettingsMode, 0);

  TFrmRBParam dialog;
  Parameters().ScreenSettingsMode = 1;
  dialog.ParametersToControls();
  EXPECT_EQ(dialog.cbViewerScreenSettings->currentText(), "800x600");
  dialog.ParametersToControls();  // the choices are rebuilt, not added again
  EXPECT_EQ(dialog.cbViewerScreenSettings->count(), 2);
}

TEST_F(ParametersDialog, TitleAndTextsFollowTheLanguage) {
  ASSERT_TRUE(testenv::WriteFile(root_ + "/French/CaptionList.txt",
                                 "FrmRBParam.cbRecurse.Caption=Et les sous-répertoires\r\n"
                                 "FrmRBParam.tsViewer.Caption=Lecteur\r\n"
                                 "FrmRBParam.Caption=Paramètres\r\n"
                                 "strings.17=Pas de changement\r\nstrings.18=Réglages\r\n"));
  Language->LoadLanguageList();
  Language->SetLanguage(1);
  QString title, recurse, page, noChange, mode1;
  int current = -1;
  EXPECT_FALSE(Edit([&](TFrmRBParam* d) {
    title = d->windowTitle();
    recurse = d->cbRecurse->text();
    page = d->PageControl->tabText(1);
    current = d->PageControl->currentIndex();
    noChange = d->cbViewerScreenSettings->itemText(0);
    mode1 = d->cbViewerScreenSettings->itemText(1);
    d->BtCancel->click();
  }));
  EXPECT_EQ(title, "Réglages");
  EXPECT_EQ(recurse, "Et les sous-répertoires");
  EXPECT_EQ(page, "Lecteur");
  EXPECT_EQ(current, 0);
  EXPECT_EQ(noChange, "Pas de changement");
  EXPECT_EQ(mode1, "800x600");
}

TEST_F(ParametersDialog, FolderChooserOnlyFillsTheEdit) {
  const QString existing = testenv::NewTempDir("movies");
  const QString chosen = testenv::NewTempDir("chosen");
  Parameters().MovieDir = existing;
  QString title, start;
  SetSelectDirectory([&](const QString& t, QString& directory) {
    title = t;
    start = directory;
    directory = chosen;
    return true;
  });
  TFrmRBParam dialog;
  dialog.ParametersToControls();
  dialog._sbSelectDir->click();
  EXPECT_EQ(title, "Select movies directory");
  EXPECT_EQ(start, existing);
  EXPECT_EQ(dialog.edMovieDir->text(), chosen);
  EXPECT_EQ(Parameters().MovieDir, existing);

  dialog.edMovieDir->setText(existing + "/gone");
  SetSelectDirectory([&](const QString&, QString& directory) {
    start = directory;
    directory = "/ignored";
    return false;
  });
  dialog._sbSelectDirClick();
  EXPECT_TRUE(start.isEmpty());  // a missing folder is no starting point
  EXPECT_EQ(dialog.edMovieDir->text(), existing + "/gone");
}

TEST_F(ParametersDialog, LaidOutForPathsAndTheDesignedSize) {
  TFrmRBParam dialog;
  dialog.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.size(), QSize(454, 238));
  EXPECT_EQ(dialog.PageControl->geometry(), QRect(0, 0, 454, 197));
  EXPECT_EQ(dialog.tbBrightness->minimum(), 0);
  EXPECT_EQ(dialog.tbBrightness->maximum(), 100);
  EXPECT_FALSE(dialog.cbViewerScreenSettings->isEditable());
  // A device or a mount directory fits the CD drive field.
  const QLineEdit* cd = dialog.edCDDrive;
  EXPECT_GE(cd->width(), cd->fontMetrics().horizontalAdvance("/media/cdrom0") + 12);
  // The folder button sits at the right end of the movies directory field.
  const QRect dir = dialog.edMovieDir->geometry(), button = dialog._sbSelectDir->geometry();
  EXPECT_EQ(button.size(), QSize(20, 20));
  EXPECT_EQ(button.top(), dir.top());
  EXPECT_GT(button.left(), dir.right());
  EXPECT_LE(button.left() - dir.right(), 4);
  EXPECT_LE(button.right(), dialog.tsList->width());
  for (const QCheckBox* box : dialog.findChildren<QCheckBox*>())
    EXPECT_GE(box->width(), box->sizeHint().width()) << box->objectName().toStdString();
}
