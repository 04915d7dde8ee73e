#include "framework/qs_fBaseAPropos.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "assets/qs_Assets.h"
#include "controls/qs_Component.h"
#include "controls/qs_Graphics.h"
#include "framework/qs_captionfile.h"
#include "framework/qs_contexte.h"
#include "framework/qs_designlayout.h"
#include "framework/qs_image.h"
#include "framework/qs_language.h"
#include "framework/qs_tools.h"
#include "framework/qs_components.h"

const char* const kAuthorMail = "author@example.invalid";
const char* const kAuthorHomePage = "www.example.invalid";
const char* const kMakerHomePage = "http://www.example.invalid/";

namespace {

// Its texts belong in the written template, though it is only ever open
// modally.
[[maybe_unused]] const bool kInTemplate = (AddTemplateForm([] { return new TfrmBaseAboutBox(); }), true);

}  // namespace

namespace {

QFont FormFont(int pixelHeight, bool bold = false) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixelHeight);
  font.setBold(bold);
  return font;
}

QLabel* RightAlignedLabel(QWidget* parent, const char* name, const QString& caption) {
  auto* label = Named(new QLabel(caption, parent), name);
  label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  return label;
}

TqsLabelLink* LinkLabel(QWidget* parent, const char* name, TLinkKind kind, const QString& caption) {
  auto* link = Named(new TqsLabelLink(parent), name);
  link->SetLinkKind(kind);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  font.setUnderline(true);
  link->setFont(font);
  link->SetFontOver(font);
  link->SetFontColor(QColor(0x00, 0x00, 0xFF));
  link->SetFontOverColor(QColor(0x00, 0x00, 0xFF));
  link->SetTransparent(true);
  link->SetCaption(caption);
  return link;
}

}  // namespace

QString VersionText(const QString& version) {
  const QStringList parts = version.split(QLatin1Char('.'));
  QStringList numbers;
  for (const QString& part : parts) {
    bool ok = false;
    const uint n = part.trimmed().toUInt(&ok);
    if (!ok) break;
    numbers.append(QString::number(n & 0xFFFF));
    if (numbers.size() == 4) break;
  }
  if (numbers.isEmpty()) return QString();
  while (numbers.size() < 4) numbers.append(QStringLiteral("0"));
  return numbers.join(QLatin1Char('.'));
}

QString ProgramVersionText() {
#ifdef CINVO_VERSION
  return VersionText(QStringLiteral(CINVO_VERSION));
#else
  return QString();
#endif
}

TfrmBaseAboutBox::TfrmBaseAboutBox(QWidget* parent) : QDialog(parent) {
  EnsureFormFonts();
  setWindowTitle(QStringLiteral("About"));
  setFont(FormFont(11));
  // The designed 423 x 339 and minimum width 380 are outer sizes; these
  // are the client sizes within a usual frame.
  const QSize client(415, 307);
  resize(client);
  setMinimumWidth(380 - 8);

  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(0, 0, 0, 0);
  form->setSpacing(0);

  _pnAbout = Named(new QWidget(this), "_pnAbout");
  form->addWidget(_pnAbout, 1);
  auto* about = new TDesignLayout(_pnAbout, QSize(client.width(), client.height() - 40));

  ImageTallwick = Named(new TImage(_pnAbout), "ImageTallwick");
  ImageTallwick->SetCenter(true);
  ImageTallwick->SetPicture(QPixmap(QString::fromLatin1(kMakerLogo)));
  ImageTallwick->SetOnDblClick([this](QObject*) { TallwickClick(); });
  about->Add(ImageTallwick, QRect(3, 2, 73, 66));

  ProgramIcon = Named(new TImage(_pnAbout), "ProgramIcon");
  ProgramIcon->SetCenter(true);
  ProgramIcon->SetProportional(true);
  about->Add(ProgramIcon, QRect(371, 16, 40, 40), akTop | akRight);

  _ProductName = Named(new TqsLabel(_pnAbout), "_ProductName");
  _ProductName->SetAutoSize(false);
  _ProductName->SetTransparent(true);
  _ProductName->SetOptions(loShadow);
  _ProductName->SetShadowX(3);
  _ProductName->SetShadowY(3);
  _ProductName->setFont(FormFont(13, true));
  _ProductName->SetCaption(QStringLiteral("ApplicationName"));
  about->Add(_ProductName, QRect(88, 4, 281, 21), akLeft | akTop | akRight);

  // The captions on the left end where the values begin, whatever their
  // length in the language shown.
  const int valueLeft = 146, captionRight = valueLeft - 4, captionLeft = 78;
  _lbVersion = RightAlignedLabel(_pnAbout, "_lbVersion", QStringLiteral("Version"));
  about->Add(_lbVersion, QRect(captionLeft, 26, captionRight - captionLeft, 14));
  _lbNoVersion = Named(new QLabel(_pnAbout), "_lbNoVersion");
  about->Add(_lbNoVersion, QRect(valueLeft, 26, 223, 14), akLeft | akTop | akRight);

  lbMailTo = RightAlignedLabel(_pnAbout, "lbMailTo", QStringLiteral("Mail"));
  about->Add(lbMailTo, QRect(captionLeft, 41, captionRight - captionLeft, 14));
  _LbMailTo = LinkLabel(_pnAbout, "_LbMailTo", lkMailTo, QString::fromLatin1(kAuthorMail));
  // Link labels pad their text with a blank; their text starts with the
  // version's.
  const int linkLeft = valueLeft - _LbMailTo->fontMetrics().horizontalAdvance(QLatin1Char(' '));
  about->Add(_LbMailTo, QRect(linkLeft, 41, _LbMailTo->width(), _LbMailTo->height()));

  lbHomePage = RightAlignedLabel(_pnAbout, "lbHomePage", QStringLiteral("Home page"));
  about->Add(lbHomePage, QRect(captionLeft, 56, captionRight - captionLeft, 14));
  _lbLink = LinkLabel(_pnAbout, "_lbLink", lkHttp, QString::fromLatin1(kAuthorHomePage));
  about->Add(_lbLink, QRect(linkLeft, 56, _lbLink->width(), _lbLink->height()));

  moAPropos = Named(new QPlainTextEdit(_pnAbout), "moAPropos");
  moAPropos->setFrameShape(QFrame::NoFrame);
  moAPropos->setReadOnly(true);
  moAPropos->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  moAPropos->setFont(FormFont(11));
  moAPropos->setContextMenuPolicy(Qt::CustomContextMenu);
  about->Add(moAPropos, QRect(5, 72, 406, 195), kAlignClient);

  pnXP = Named(new TqsPanelPicture(this), "pnXP");
  pnXP->SetBevelOuter(bvNone);
  pnXP->SetAlignmentVert(tvaTopJustify);
  pnXP->Picture().LoadFromFile(QString::fromLatin1(kPictureBand));
  pnXP->setFixedHeight(40);
  form->addWidget(pnXP);
  auto* band = new TDesignLayout(pnXP, QSize(client.width(), 40));

  BtOK = Named(new QPushButton(QStringLiteral("OK"), pnXP), "BtOK");
  BtOK->setDefault(true);
  connect(BtOK, &QPushButton::clicked, this, &QDialog::accept);
  band->Add(BtOK, QRect(166, 8, 75, 25), akLeft | akBottom);

  PopupMenu = Named(new QMenu(this), "PopupMenu");
  cmEdit = Named(new QAction(QStringLiteral("Edit about file"), this), "cmEdit");
  PopupMenu->addAction(cmEdit);
  connect(cmEdit, &QAction::triggered, this, [this] { cmEditClick(); });
  connect(moAPropos, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu->popup(moAPropos->viewport()->mapToGlobal(at)); });

  // Centred on the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

  FormCreate();
}

void TfrmBaseAboutBox::FormCreate() {
  // Translated like the other windows; its opener then sets its title and
  // menu item from the string table.
  if (Language) Language->TranslateForm(this);
  ProgramIcon->SetPicture(QApplication::windowIcon().pixmap(QSize(40, 40), devicePixelRatio()));
  if (Language) {
    const QString file = Language->AboutFile();
    QStringList lines;
    QString error;
    // A missing or unreadable text leaves the box empty, without a message.
    if (IsExistingFile(file) && ReadCaptionFile(file, lines, error)) moAPropos->setPlainText(lines.join(QLatin1Char('\n')));
  }
  _ProductName->SetCaption(TqsContexte::AppName());
  _lbNoVersion->setText(ProgramVersionText());
}

void TfrmBaseAboutBox::cmEditClick() {
  if (Language) ShellOpen(Language->AboutFileForEdit());
}

void TfrmBaseAboutBox::TallwickClick() { ShellOpen(QString::fromLatin1(kMakerHomePage)); }
