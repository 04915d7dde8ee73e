#pragma once
// The about box: program icon, name and version, the author's addresses and
// the current language's about text, which its right-click menu edits.
#include <QDialog>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class TImage;
class TqsLabel;
class TqsLabelLink;
class TqsPanelPicture;

// The addresses the box shows and opens.
extern const char* const kAuthorMail;
extern const char* const kAuthorHomePage;
extern const char* const kMakerHomePage;

// "a.b.c.d" from a version of up to four dot-separated numbers, missing
// ones as 0 (2.2 gives 2.2.0.0); empty when it holds no number.
QString VersionText(const QString& version);
// The running program's version, as above.
QString ProgramVersionText();

class TfrmBaseAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmBaseAboutBox(QWidget* parent = nullptr);

  QWidget* _pnAbout;
  TImage* ImageTallwick;
  TImage* ProgramIcon;
  TqsLabel* _ProductName;
  QLabel* _lbVersion;
  QLabel* _lbNoVersion;
  QLabel* lbMailTo;
  TqsLabelLink* _LbMailTo;
  QLabel* lbHomePage;
  TqsLabelLink* _lbLink;
  QPlainTextEdit* moAPropos;
  TqsPanelPicture* pnXP;
  QPushButton* BtOK;
  QMenu* PopupMenu;
  QAction* cmEdit;

  void FormCreate();
  void cmEditClick();
  void TallwickClick();
};
