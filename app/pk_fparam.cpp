#include "app/pk_fparam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

#include "app/pk_param.h"
#include "app/pk_str.h"
#include "framework/qs_designlayout.h"
#include "framework/qs_language.h"
#include "framework/qs_prompts.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_components.h"

TFrmRBParam* FrmRBParam = nullptr;

namespace {

// Modal, so never open when the template is written: made for it instead.
[[maybe_unused]] const bool kInTemplate = (AddTemplateForm([] { return new TFrmRBParam(); }), true);

// The client size of a page of the page control, for placing its controls.
constexpr QSize kPageSize(446, 169);

}  // namespace

TFrmRBParam::TFrmRBParam(QWidget* parent) : TFrmBaseDialog(parent) {
  setWindowTitle(QStringLiteral("Parameters"));
  SetDesignSize(QSize(454, 238));

  PageControl = Named(new QTabWidget(this), "PageControl");
  Design()->Add(PageControl, QRect(0, 0, 454, 197), kAlignTop);

  tsList = Named(new QWidget, "tsList");
  PageControl->addTab(tsList, QStringLiteral("Movie list"));
  auto* list = new TDesignLayout(tsList, kPageSize);
  lbCdDrive = Named(new QLabel(QStringLiteral("CD drive"), tsList), "lbCdDrive");
  list->Add(lbCdDrive, QRect(8, 10, 200, 14));
  // A device such as /dev/sr0 or the directory where the disc is mounted.
  edCDDrive = Named(new QLineEdit(tsList), "edCDDrive");
  list->Add(edCDDrive, QRect(8, 26, 200, 21));
  lbMovieTypes = Named(new QLabel(QStringLiteral("Movie types"), tsList), "lbMovieTypes");
  list->Add(lbMovieTypes, QRect(226, 10, 200, 14));
  cbMovieTypes = Named(new QComboBox(tsList), "cbMovieTypes");
  cbMovieTypes->setEditable(true);
  cbMovieTypes->setInsertPolicy(QComboBox::NoInsert);
  connect(cbMovieTypes, &QComboBox::activated, this, [this](int index) { cbMovieTypesSelect(index); });
  connect(cbMovieTypes, &QComboBox::editTextChanged, cbMovieTypes, [this](const QString& text) {
    cbMovieTypes->setToolTip(text);  // a long list does not fit the field
  });
  list->Add(cbMovieTypes, QRect(226, 26, 209, 21), akLeft | akTop | akRight);
  lbMoviesDir = Named(new QLabel(QStringLiteral("Movies directory"), tsList), "lbMoviesDir");
  list->Add(lbMoviesDir, QRect(8, 56, 300, 14));
  edMovieDir = Named(new QLineEdit(tsList), "edMovieDir");
  list->Add(edMovieDir, QRect(8, 72, 404, 21), akLeft | akTop | akRight);
  _sbSelectDir = Named(new QToolButton(tsList), "_sbSelectDir");
  _sbSelectDir->setText(QStringLiteral("..."));
  connect(_sbSelectDir, &QToolButton::clicked, this, [this] { _sbSelectDirClick(); });
  list->Add(_sbSelectDir, QRect(414, 72, 20, 20), akTop | akRight);
  cbRecurse = Named(new QCheckBox(QStringLiteral("And subdirectories"), tsList), "cbRecurse");
  list->Add(cbRecurse, QRect(8, 100, 427, 18), akLeft | akTop | akRight);
  cbCopyFromCD = Named(new QCheckBox(QStringLiteral("Copy from CD to movie directory before viewing"), tsList),
                       "cbCopyFromCD");
  list->Add(cbCopyFromCD, QRect(8, 126, 427, 18), akLeft | akTop | akRight);

  tsViewer = Named(new QWidget, "tsViewer");
  PageControl->addTab(tsViewer, QStringLiteral("Viewer"));
  auto* viewer = new TDesignLayout(tsViewer, kPageSize);
  cbInternalViewer = Named(new QCheckBox(QStringLiteral("Use internal viewer"), tsViewer), "cbInternalViewer");
  viewer->Add(cbInternalViewer, QRect(8, 10, 427, 18), akLeft | akTop | akRight);
  cbExitOnView = Named(new QCheckBox(QStringLiteral("Exit when starting external viewer"), tsViewer), "cbExitOnView");
  viewer->Add(cbExitOnView, QRect(8, 34, 427, 18), akLeft | akTop | akRight);
  lbViewerScreenSettings =
      Named(new QLabel(QStringLiteral("Viewer screen settings"), tsViewer), "lbViewerScreenSettings");
  viewer->Add(lbViewerScreenSettings, QRect(8, 64, 200, 14));
  cbViewerScreenSettings = Named(new QComboBox(tsViewer), "cbViewerScreenSettings");
  cbViewerScreenSettings->setEditable(false);
  viewer->Add(cbViewerScreenSettings, QRect(8, 80, 200, 22));
  lbBrightness = Named(new QLabel(QStringLiteral("Brightness"), tsViewer), "lbBrightness");
  viewer->Add(lbBrightness, QRect(226, 64, 200, 14));
  tbBrightness = Named(new QSlider(Qt::Horizontal, tsViewer), "tbBrightness");
  tbBrightness->setRange(0, 100);
  tbBrightness->setTickPosition(QSlider::TicksBelow);
  tbBrightness->setTickInterval(10);
  tbBrightness->setPageStep(10);
  viewer->Add(tbBrightness, QRect(222, 80, 213, 30), akLeft | akTop | akRight);

  PageControl->setCurrentIndex(0);
  FormCreate();
}

void TFrmRBParam::ParametersToControls() {
  cbViewerScreenSettings->clear();
  cbViewerScreenSettings->addItem((*AppStrings)[sNoChange]);
  cbViewerScreenSettings->addItem(QStringLiteral("800x600"));

  const TRBParameters& p = Parameters();
  // The presets are named; choosing one puts its patterns in the edit.
  cbMovieTypes->clear();
  cbMovieTypes->addItem((*AppStrings)[sAviOnly], kDefaultMovieTypes);
  cbMovieTypes->addItem((*AppStrings)[sCommonVideoFiles], kCommonMovieTypes);
  cbMovieTypes->setCurrentIndex(-1);
  cbMovieTypes->setEditText(p.MovieTypes);
  cbRecurse->setChecked(p.Recurse);
  edMovieDir->setText(p.MovieDir);
  edCDDrive->setText(p.CDReader);
  cbExitOnView->setChecked(p.ExitOnView);
  cbInternalViewer->setChecked(p.InternalViewer);
  cbCopyFromCD->setChecked(p.CopyFromCD);
  const int mode = p.ScreenSettingsMode;
  cbViewerScreenSettings->setCurrentIndex(mode < cbViewerScreenSettings->count() ? mode : -1);
  tbBrightness->setValue(p.Brightness / 100);
}

void TFrmRBParam::ControlsToParameters() {
  TRBParameters& p = Parameters();
  p.Recurse = cbRecurse->isChecked();
  p.MovieDir = edMovieDir->text();
  p.CDReader = edCDDrive->text();
  p.ExitOnView = cbExitOnView->isChecked();
  p.InternalViewer = cbInternalViewer->isChecked();
  p.CopyFromCD = cbCopyFromCD->isChecked();
  // A list with no usable pattern would hide every movie: the default.
  const QStringList types = MovieTypePatterns(cbMovieTypes->currentText());
  p.MovieTypes = types.isEmpty() ? kDefaultMovieTypes : types.join(QLatin1Char(' '));
  p.Brightness = tbBrightness->value() * 100;
  const int index = cbViewerScreenSettings->currentIndex();
  p.ScreenSettingsMode = index > 0 ? std::uint8_t(index) : 0;
}

void TFrmRBParam::_sbSelectDirClick() {
  QString directory = edMovieDir->text();
  if (directory.isEmpty() || !QDir(directory).exists()) directory.clear();
  if (SelectDirectory((*AppStrings)[sSelectMovieDir], directory)) edMovieDir->setText(QDir::toNativeSeparators(directory));
}

void TFrmRBParam::cbMovieTypesSelect(int index) {
  const QString patterns = cbMovieTypes->itemData(index).toString();
  if (!patterns.isEmpty()) cbMovieTypes->setEditText(patterns);
}

bool EditParameters() {
  int result = 0;
  {
    // Released in every case, also when showing fails; a fresh dialog
    // serves each call.
    struct Release {
      ~Release() {
        if (FrmRBParam) FrmRBParam->deleteLater();
        FrmRBParam = nullptr;
      }
    } release;
    FrmRBParam = new TFrmRBParam();
    FrmRBParam->setWindowTitle((*AppStrings)[sSettings]);
    FrmRBParam->ParametersToControls();
    result = FrmRBParam->exec();
    if (result == QDialog::Accepted) FrmRBParam->ControlsToParameters();
  }
  return result == QDialog::Accepted;
}
