#pragma once
// The base of the program's modal OK/Cancel dialogs: a picture strip with
// the two buttons at the bottom, the position kept between runs, and the
// current language applied when the dialog is made.
#include <QDialog>

class QFrame;
class QPushButton;
class TDesignLayout;
class TqsPanelPicture;

class TFrmBaseDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmBaseDialog(QWidget* parent = nullptr);

  QFrame* Bevel;
  TqsPanelPicture* pnXP;
  QPushButton* BtOK;
  QPushButton* BtCancel;

  // A dialog class calls FormCreate at the end of its own constructor, once
  // every control exists, so the translation reaches all of them.
  virtual void FormCreate();
  // Runs whenever the dialog closes, whatever closed it.
  virtual void FormClose();

  // The layout that places the controls on the dialog.
  TDesignLayout* Design() const { return fDesign; }

  void done(int result) override;

 protected:
  // A derived dialog's own client size: the dialog takes it, still fixed,
  // and the controls added after it are given for it.
  void SetDesignSize(QSize size);

 private:
  TDesignLayout* fDesign;
};
