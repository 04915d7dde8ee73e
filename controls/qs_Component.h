#pragma once
// The program's own labels (shadow, 3D border, rotation, weight, links) and
// the picture panel.
#include <QColor>
#include <QFont>
#include <QFrame>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "images/qs_Graphics.h"

class QPainter;
class QShortcut;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TqsBorderStyle { lbsNone, lbsSingle, lbsSunken, lbsRaise };
enum TqsLabelOption { loShadow = 1 };
using TqsLabelOptions = unsigned;

// Text format bits, as the text routine combines them.
namespace dt {
inline constexpr int kLeft = 0x0;
inline constexpr int kCenter = 0x1;
inline constexpr int kRight = 0x2;
inline constexpr int kWordBreak = 0x10;
inline constexpr int kSingleLine = 0x20;
inline constexpr int kExpandTabs = 0x40;
inline constexpr int kCalcRect = 0x400;
inline constexpr int kNoPrefix = 0x800;
}  // namespace dt

using TNotifyEvent = std::function<void(QObject* sender)>;
using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)>;

class TqsCustomLabel : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

 public:
  explicit TqsCustomLabel(QWidget* parent = nullptr);

  QString Caption() const { return fCaption; }
  void SetCaption(const QString& value);
  QWidget* FocusControl() const { return fFocusControl; }
  void SetFocusControl(QWidget* value);
  TAlignment Alignment() const { return fAlignment; }
  void SetAlignment(TAlignment value);
  bool AutoSize() const { return fAutoSize; }
  void SetAutoSize(bool value);
  TTextLayout Layout() const { return fLayout; }
  void SetLayout(TTextLayout value);
  bool WordWrap() const { return fWordWrap; }
  void SetWordWrap(bool value);
  bool ShowAccelChar() const { return fShowAccelChar; }
  void SetShowAccelChar(bool value);
  TqsLabelOptions Options() const { return fOptions; }
  void SetOptions(TqsLabelOptions value);
  int ShadowX() const { return fShadowX; }
  void SetShadowX(int value);
  int ShadowY() const { return fShadowY; }
  void SetShadowY(int value);
  TqsBorderStyle BorderStyle() const { return fBorderStyle; }
  void SetBorderStyle(TqsBorderStyle value);
  int BorderWidth() const { return fBorderWidth; }
  void SetBorderWidth(int value);
  // Whole degrees, -180..180, counter-clockwise; other values are ignored.
  int Rotation() const { return fRotation / 10; }
  void SetRotation(int degrees);
  // Hundreds of font weight units, 0..10; 0 keeps the font's own weight.
  int Weight() const { return fWeight / 100; }
  void SetWeight(int value);
  bool Transparent() const { return !fOpaque; }
  void SetTransparent(bool value);
  QColor Color() const { return fColor; }
  void SetColor(const QColor& value);
  QColor FontColor() const { return fFontColor; }
  void SetFontColor(const QColor& value);
  // QWidget::setFont re-fits the size as well (see changeEvent).

  void SetOnClick(TNotifyEvent handler) { fOnClick = std::move(handler); }
  void SetOnDblClick(TNotifyEvent handler) { fOnDblClick = std::move(handler); }
  void SetOnMouseDown(TMouseEvent handler) { fOnMouseDown = std::move(handler); }
  void SetOnMouseUp(TMouseEvent handler) { fOnMouseUp = std::move(handler); }
  void SetOnMouseMove(TMouseMoveEvent handler) { fOnMouseMove = std::move(handler); }

  // Form loading: while set, the size is not fitted; Loaded() fits it once.
  void SetLoading(bool value) { fLoading = value; }
  void Loaded();

  // Draws or (with dt::kCalcRect) measures the caption into `rect`, which a
  // measure replaces by the needed rectangle. `painter` may be null when
  // measuring.
  void DoDrawText(QPainter* painter, QRect& rect, int flags) const;
  // The laid-out size of the text block (width, height) at the rotation.
  QSize TextBlockSize(const QRect& rect, int flags) const;
  // Where rotated text starts in `rect` for a text height `h`.
  static QPoint RotatedStart(const QRect& rect, int tenths, int h);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  virtual void Click();
  void AdjustBounds();
  void PrepareFont();

 private:
  void DrawPass(QPainter* painter, QRect& rect, int flags, const QString& text, const QColor& color) const;
  void UpdateAccelerator();

  QPointer<QWidget> fFocusControl;
  TAlignment fAlignment = taLeftJustify;
  bool fAutoSize = true;
  TTextLayout fLayout = tlTop;
  bool fWordWrap = false;
  bool fShowAccelChar = true;
  TqsLabelOptions fOptions = 0;
  int fShadowX = 5;
  int fShadowY = 5;
  TqsBorderStyle fBorderStyle = lbsNone;
  int fBorderWidth = 0;
  int fRotation = 0;
  int fWeight = 0;
  bool fOpaque = true;
  bool fLoading = false;
  bool fPressed = false;
  QString fCaption;
  QColor fColor;
  QColor fFontColor;
  QShortcut* fShortcut = nullptr;
  TNotifyEvent fOnClick, fOnDblClick;
  TMouseEvent fOnMouseDown, fOnMouseUp;
  TMouseMoveEvent fOnMouseMove;
};

class TqsLabel : public TqsCustomLabel {
  Q_OBJECT
 public:
  using TqsCustomLabel::TqsCustomLabel;
};

enum TLinkKind { lkNone, lkHttp, lkFile, lkMailTo, lkFtp, lkHttps, lkGopher, lkNntp, lkProspero, lkTelNet, lkNews, lkWais };

QString LinkPrefix(TLinkKind kind);

using TExecuteLinkEvent = std::function<void(QObject* sender, QString& prefix, QString& link)>;

class TqsLabelLink : public TqsLabel {
  Q_OBJECT
 public:
  explicit TqsLabelLink(QWidget* parent = nullptr);

  QFont FontOver() const { return fFontOver; }
  void SetFontOver(const QFont& value) { fFontOver = value; }
  QColor FontOverColor() const { return fFontOverColor; }
  void SetFontOverColor(const QColor& value) { fFontOverColor = value; }
  TLinkKind LinkKind() const { return fLinkKind; }
  void SetLinkKind(TLinkKind value) { fLinkKind = value; }
  void SetOnExecute(TExecuteLinkEvent handler) { fOnExecute = std::move(handler); }
  // Opens prefix + caption (after OnExecute) through the desktop.
  void Execute();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void Click() override;

 private:
  QFont fFontOver;
  QColor fFontOverColor;
  std::unique_ptr<QFont> fSavedFont;
  QColor fSavedColor;
  TLinkKind fLinkKind = lkNone;
  TExecuteLinkEvent fOnExecute;
};

// ---------------------------------------------------------------- picture panel

enum TVAlignment { tvaTopJustify, tvaBottomJustify, tvaCenter };
enum TStretchMode { smNone, smReduce, smInflate, smBoth };
enum TPanelBevel { bvNone, bvLowered, bvRaised };

class TqsPanelPicture : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

 public:
  explicit TqsPanelPicture(QWidget* parent = nullptr);

  // The panel's own parts.
  QString Caption() const { return fCaption; }
  void SetCaption(const QString& value);
  TAlignment Alignment() const { return fAlignment; }
  void SetAlignment(TAlignment value);
  TPanelBevel BevelInner() const { return fBevelInner; }
  void SetBevelInner(TPanelBevel value);
  TPanelBevel BevelOuter() const { return fBevelOuter; }
  void SetBevelOuter(TPanelBevel value);
  int BevelWidth() const { return fBevelWidth; }
  void SetBevelWidth(int value);
  int BorderWidth() const { return fBorderWidth; }
  void SetBorderWidth(int value);
  QColor Color() const { return fColor; }
  void SetColor(const QColor& value);

  TVAlignment AlignmentVert() const { return fAlignmentVert; }
  void SetAlignmentVert(TVAlignment value);
  bool Transparent() const { return fTransparent; }
  void SetTransparent(bool value);
  QColor TransparentColor() const { return fTransparentColor; }
  void SetTransparentColor(const QColor& value);
  TPicture& Picture() { return fPicture; }
  void SetPicture(const TPicture& value) { fPicture.Assign(value); }
  bool AutoSize() const { return fAutoSize; }
  void SetAutoSize(bool value);
  TStretchMode Stretch() const { return fStretch; }
  void SetStretch(TStretchMode value);

  // Whether the parent need not paint behind the panel.
  bool Opaque() const { return testAttribute(Qt::WA_OpaquePaintEvent); }
  // Where the picture lands for the current size (empty without one).
  QRect PictureRect() const;
  // The rectangle the picture is fitted into.
  QRect TargetRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PictureChanged();

  QString fCaption;
  TAlignment fAlignment = taCenter;
  TPanelBevel fBevelInner = bvNone;
  TPanelBevel fBevelOuter = bvRaised;
  int fBevelWidth = 1;
  int fBorderWidth = 0;
  QColor fColor;
  TVAlignment fAlignmentVert = tvaTopJustify;
  bool fTransparent = false;
  QColor fTransparentColor = QColor(0xFF, 0xFF, 0xFF);
  TPicture fPicture;
  bool fAutoSize = false;
  TStretchMode fStretch = smNone;
};

// The fitted rectangle of a w x h picture in `target` for the alignments
// (scaling keeps the picture's proportions).
QRect FitPicture(int w, int h, const QRect& target, TAlignment horizontal, TVAlignment vertical);
// Whether the stretch mode scales a w x h picture into a W x H area.
bool ShouldStretch(TStretchMode mode, int w, int h, int W, int H);
