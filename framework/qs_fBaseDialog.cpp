#include "framework/qs_fBaseDialog.h"

#include <QFrame>
#include <QPushButton>

#include "assets/qs_Assets.h"
#include "controls/qs_Component.h"
#include "controls/qs_Graphics.h"
#include "framework/qs_contexte.h"
#include "framework/qs_designlayout.h"
#include "framework/qs_formplacement.h"
#include "framework/qs_language.h"

TFrmBaseDialog::TFrmBaseDialog(QWidget* parent) : QDialog(parent) {
  EnsureFormFonts();
  setWindowTitle(QStringLiteral("FrmBaseDialog"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  setFont(font);
  const QSize client(322, 207);
  fDesign = new TDesignLayout(this, client);

  Bevel = new QFrame(this);
  Bevel->setObjectName(QStringLiteral("Bevel"));
  Bevel->setFrameShape(QFrame::HLine);
  Bevel->setFrameShadow(QFrame::Sunken);
  fDesign->Add(Bevel, QRect(0, 162, 323, 5), kAlignBottom);

  pnXP = new TqsPanelPicture(this);
  pnXP->setObjectName(QStringLiteral("pnXP"));
  pnXP->SetBevelOuter(bvNone);
  pnXP->SetAlignmentVert(tvaTopJustify);
  pnXP->Picture().LoadFromFile(QString::fromLatin1(kPictureBand));
  fDesign->Add(pnXP, QRect(0, client.height() - 40, client.width(), 40), kAlignBottom);
  auto* band = new TDesignLayout(pnXP, QSize(client.width(), 40));

  BtOK = new QPushButton(QStringLiteral("OK"), pnXP);
  BtOK->setObjectName(QStringLiteral("BtOK"));
  BtOK->setDefault(true);
  connect(BtOK, &QPushButton::clicked, this, &QDialog::accept);
  band->Add(BtOK, QRect(39, 9, 75, 25), akLeft | akBottom);

  BtCancel = new QPushButton(QStringLiteral("Cancel"), pnXP);
  BtCancel->setObjectName(QStringLiteral("BtCancel"));
  connect(BtCancel, &QPushButton::clicked, this, &QDialog::reject);
  band->Add(BtCancel, QRect(203, 9, 75, 25), akRight | akBottom);

  SetDesignSize(client);
}

void TFrmBaseDialog::SetDesignSize(QSize size) {
  fDesign->SetDesignSize(size);
  SetFormBorderStyle(this, TFormBorderStyle::bsSizeable);  // lifts the fixed size
  resize(size);
  SetFormBorderStyle(this, TFormBorderStyle::bsDialog);
}

void TFrmBaseDialog::FormCreate() {
  RestoreFormPlacement(this);
  if (Language) Language->TranslateForm(this);
}

void TFrmBaseDialog::FormClose() {
  if (Contexte) Contexte->SaveForm(this, QString());
}

void TFrmBaseDialog::done(int result) {
  FormClose();
  QDialog::done(result);
}
