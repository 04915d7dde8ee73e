#include <gtest/gtest.h>

#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QPushButton>

#include "controls/qs_Component.h"
#include "framework/qs_contexte.h"
#include "framework/qs_designlayout.h"
#include "framework/qs_fBaseDialog.h"
#include "framework/qs_formplacement.h"
#include "framework/qs_language.h"
#include "tests/support/modal_answer.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/test_env.h"

namespace {

class TFrmSampleDialog : public TFrmBaseDialog {
  Q_OBJECT
 public:
  explicit TFrmSampleDialog(QSize size = QSize()) {
    if (size.isValid()) SetDesignSize(size);
    FormCreate();
  }
};

const QString kSection = QStringLiteral("Settings\\FrmSampleDialog");

using BaseDialog = FrameworkTest;

}  // namespace

TEST_F(BaseDialog, FixedBorderRestoresOnlyLeftAndTop) {
  Contexte->WriteInteger(kSection, "Left", 210);
  Contexte->WriteInteger(kSection, "Top", 150);
  Contexte->WriteInteger(kSection, "Height", 999);
  Contexte->WriteInteger(kSection, "Width", 888);
  TFrmSampleDialog dialog;
  EXPECT_EQ(dialog.pos(), QPoint(210, 150));
  EXPECT_EQ(dialog.size(), QSize(322, 207));
  EXPECT_EQ(FormBorderStyle(&dialog), TFormBorderStyle::bsDialog);
  EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(dialog.testAttribute(Qt::WA_Moved));
}

TEST_F(BaseDialog, ADialogStoredOffTheScreenComesBackOnIt) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  Contexte->WriteInteger(kSection, "Left", 2500);
  Contexte->WriteInteger(kSection, "Top", 1800);
  TFrmSampleDialog dialog;
  EXPECT_TRUE(screen.intersects(dialog.geometry()));
  EXPECT_EQ(dialog.x(), screen.right() + 1 - 100);
  EXPECT_LE(dialog.y() + kMinimumVisibleTitleBar, screen.bottom() + 1);
  EXPECT_EQ(dialog.size(), QSize(322, 207));
}

TEST_F(BaseDialog, WithoutAStoredPositionTheSystemPlacesIt) {
  TFrmSampleDialog dialog;
  EXPECT_FALSE(dialog.testAttribute(Qt::WA_Moved));
}

TEST_F(BaseDialog, EveryWayOfClosingGivesItsResultAndSavesAllFourValues) {
  struct Way {
    std::function<void(TFrmBaseDialog*)> close;
    int result;
  };
  const Way ways[] = {
      {[](TFrmBaseDialog* d) { d->BtOK->click(); }, QDialog::Accepted},
      {[](TFrmBaseDialog* d) { d->BtCancel->click(); }, QDialog::Rejected},
      {[](TFrmBaseDialog* d) { d->close(); }, QDialog::Rejected},  // the window's own close box
  };
  int left = 40;
  for (const Way& way : ways) {
    TFrmSampleDialog dialog;
    testenv::AnswerModal([&](QWidget* modal) {
      modal->move(left, 60);
      way.close(static_cast<TFrmBaseDialog*>(modal));
    });
    EXPECT_EQ(dialog.exec(), way.result);
    EXPECT_EQ(Contexte->ReadInteger(kSection, "Left", -1), left);
    EXPECT_EQ(Contexte->ReadInteger(kSection, "Top", -1), 60);
    EXPECT_EQ(Contexte->ReadInteger(kSection, "Width", -1), 322);
    EXPECT_EQ(Contexte->ReadInteger(kSection, "Height", -1), 207);
    left += 10;
  }
}

TEST_F(BaseDialog, TranslatesItselfWhenCreated) {
  ASSERT_TRUE(testenv::WriteFile(root_ + "/CaptionList.txt",
                                 "FrmSampleDialog.BtCancel.Caption=Abbrechen\r\nFrmSampleDialog.BtOK.Hint=Gut\r\n"));
  Language->LoadLanguageList();
  Language->ForceReload();
  Language->SetLanguage(0);
  TFrmSampleDialog dialog;
  EXPECT_EQ(dialog.BtCancel->text(), "Abbrechen");
  EXPECT_EQ(dialog.BtOK->toolTip(), "Gut");
  EXPECT_EQ(dialog.BtOK->text(), "OK");
}

TEST_F(BaseDialog, ALargerDialogKeepsTheBandAndButtonsAtTheirEdges) {
  TFrmSampleDialog dialog(QSize(454, 238));
  dialog.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.size(), QSize(454, 238));
  EXPECT_EQ(dialog.pnXP->geometry(), QRect(0, 198, 454, 40));
  EXPECT_EQ(dialog.BtOK->geometry(), QRect(39, 9, 75, 25));
  EXPECT_EQ(dialog.BtCancel->geometry(), QRect(454 - 44 - 75, 9, 75, 25));
  EXPECT_EQ(dialog.Bevel->geometry(), QRect(0, 193, 455, 5));
}

TEST(DesignLayout, AnchoredSidesKeepTheirDistances) {
  QWidget parent;
  auto* layout = new TDesignLayout(&parent, QSize(200, 100));
  auto* fixed = new QWidget;
  auto* right = new QWidget;
  auto* stretch = new QWidget;
  auto* corner = new QWidget;
  layout->Add(fixed, QRect(10, 10, 20, 20));
  layout->Add(right, QRect(150, 10, 40, 20), akTop | akRight);
  layout->Add(stretch, QRect(10, 40, 180, 50), kAlignClient);
  layout->Add(corner, QRect(150, 70, 40, 20), akRight | akBottom);
  layout->setGeometry(QRect(0, 0, 300, 150));
  EXPECT_EQ(fixed->geometry(), QRect(10, 10, 20, 20));
  EXPECT_EQ(right->geometry(), QRect(250, 10, 40, 20));
  EXPECT_EQ(stretch->geometry(), QRect(10, 40, 280, 100));
  EXPECT_EQ(corner->geometry(), QRect(250, 120, 40, 20));
  layout->setGeometry(QRect(0, 0, 20, 20));  // smaller than the margins: no negative size
  EXPECT_EQ(stretch->geometry().size(), QSize(0, 0));
}

#include "test_base_dialog.moc"
