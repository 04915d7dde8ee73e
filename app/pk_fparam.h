#pragma once
// The parameters dialog: edits the in-memory parameters on two pages.
#include "framework/qs_fBaseDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTabWidget;
class QToolButton;

class TFrmRBParam : public TFrmBaseDialog {
  Q_OBJECT
 public:
  explicit TFrmRBParam(QWidget* parent = nullptr);

  QTabWidget* PageControl;
  QWidget* tsList;
  QLabel* lbCdDrive;
  QLineEdit* edCDDrive;
  // The movie types: a list typed by hand, or one of the presets.
  QLabel* lbMovieTypes;
  QComboBox* cbMovieTypes;
  QLabel* lbMoviesDir;
  QLineEdit* edMovieDir;
  QToolButton* _sbSelectDir;
  QCheckBox* cbRecurse;
  QCheckBox* cbCopyFromCD;
  QWidget* tsViewer;
  QCheckBox* cbInternalViewer;
  QCheckBox* cbExitOnView;
  QLabel* lbViewerScreenSettings;
  QComboBox* cbViewerScreenSettings;
  QLabel* lbBrightness;
  QSlider* tbBrightness;

  void ParametersToControls();
  void ControlsToParameters();
  void _sbSelectDirClick();
  // Puts the patterns of the preset at `index` in the edit.
  void cbMovieTypesSelect(int index);
};

// The dialog while EditParameters shows it, else null.
extern TFrmRBParam* FrmRBParam;

// Shows the dialog on the current parameters; true when the user confirmed
// (the parameters then hold the dialog's values), false when not (they are
// untouched).
bool EditParameters();
