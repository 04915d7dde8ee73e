#pragma once
// The menu painter: gives every menu of its form a flat two-column look
// (icon column, light background, boxed selection, thin separators, an
// optional vertical caption bar), as a style installed on the form's menus.
// Also the drop-shadowed hint window.
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProxyStyle>

#include <memory>

#include "images/qs_Graphics.h"

class QMenu;
class TXPMenu;

// Moves each of red, green and blue toward 255 by round((255 - v) * p / 100);
// a negative p darkens.
QColor Lighten(const QColor& color, int percent);
// Subtracts p from red and blue and p - 2 from green, within 0..255.
QColor Shade(const QColor& color, int p);

// The colours one measure or paint works with.
struct TXPColors {
  QColor background, iconColumn, select, selectBorder, menuBar, disabled, separator, checked, checkFill,
      checkSelectFill, font, selectFont;
};

// The style the painter puts on menus; everything it draws comes from its
// painter's properties.
class TXPMenuStyle : public QProxyStyle {
  Q_OBJECT
 public:
  explicit TXPMenuStyle(TXPMenu* painter);
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;

 private:
  TXPMenu* fPainter;
};

class TXPMenu : public QObject {
  Q_OBJECT
 public:
  // `owner` is the form whose menus are painted.
  explicit TXPMenu(QWidget* owner);
  ~TXPMenu() override;

  QString BarCaption() const { return fBarCaption; }
  void SetBarCaption(const QString& value) { fBarCaption = value; }
  int BarWidth() const { return fBarWidth; }
  void SetBarWidth(int value) { fBarWidth = value; }
  QFont BarFont() const { return fBarFont; }
  void SetBarFont(const QFont& value) { fBarFont = value; }
  QColor BarFontColor() const { return fBarFontColor; }
  void SetBarFontColor(const QColor& value) { fBarFontColor = value; }
  // Made on first use.
  TPicture& BarPicture();
  bool BarTransparent() const { return fBarTransparent; }
  void SetBarTransparent(bool value) { fBarTransparent = value; }
  QFont Font() const { return fFont; }
  void SetFont(const QFont& value) { fFont = value; }
  QColor FontColor() const { return fFontColor; }
  void SetFontColor(const QColor& value) { fFontColor = value; }
  QColor Color() const { return fColor; }
  void SetColor(const QColor& value) { fColor = value; }
  QColor IconBackColor() const { return fIconBackColor; }
  void SetIconBackColor(const QColor& value) { fIconBackColor = value; }
  QColor MenuBarColor() const { return fMenuBarColor; }
  void SetMenuBarColor(const QColor& value) { fMenuBarColor = value; }
  QColor SelectColor() const { return fSelectColor; }
  void SetSelectColor(const QColor& value) { fSelectColor = value; }
  QColor SelectBorderColor() const { return fSelectBorderColor; }
  void SetSelectBorderColor(const QColor& value) { fSelectBorderColor = value; }
  QColor SelectFontColor() const { return fSelectFontColor; }
  void SetSelectFontColor(const QColor& value) { fSelectFontColor = value; }
  QColor DisabledColor() const { return fDisabledColor; }
  void SetDisabledColor(const QColor& value) { fDisabledColor = value; }
  QColor SeparatorColor() const { return fSeparatorColor; }
  void SetSeparatorColor(const QColor& value) { fSeparatorColor = value; }
  QColor CheckedColor() const { return fCheckedColor; }
  void SetCheckedColor(const QColor& value) { fCheckedColor = value; }
  int IconWidth() const { return fIconWidth; }
  void SetIconWidth(int value) { fIconWidth = value; }
  bool DrawSelect() const { return fDrawSelect; }
  void SetDrawSelect(bool value) { fDrawSelect = value; }
  bool UseSystemColors() const { return fUseSystemColors; }
  void SetUseSystemColors(bool value) { fUseSystemColors = value; }
  bool OverrideOwnerDraw() const { return fOverrideOwnerDraw; }
  void SetOverrideOwnerDraw(bool value) { fOverrideOwnerDraw = value; }
  bool Gradient() const { return fGradient; }
  void SetGradient(bool value) { fGradient = value; }
  bool FlatMenu() const { return fFlatMenu; }
  void SetFlatMenu(bool value) { fFlatMenu = value; }
  bool AutoDetect() const { return fAutoDetect; }
  void SetAutoDetect(bool value);
  bool Active() const { return fActive; }
  void SetActive(bool value);

  QWidget* Owner() const { return fOwner; }
  TXPMenuStyle* Style() const { return fStyle.get(); }
  // Whether `menu` is painted by this painter now.
  bool Paints(const QWidget* menu) const;
  // The colours for the next measure or paint (system colours re-read).
  TXPColors WorkingColors() const;
  // The width of the bar: BarWidth, or IconWidth when that is 0 or less.
  int EffectiveBarWidth() const { return fBarWidth > 0 ? fBarWidth : fIconWidth; }
  // Whether items of `menu` show the vertical bar: there is a caption and
  // the menu is a first-level pop-up (not a sub-menu, not a drop-down).
  bool ShowsBar(const QWidget* menu) const;
  // Puts the painter on `menu` and its sub-menus (used after drawing, so
  // menus added since are painted too).
  void Hook(QMenu* menu);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Install();
  void Uninstall();
  void HookWidget(QWidget* menu);
  QList<QWidget*> FormMenus() const;

  QPointer<QWidget> fOwner;
  std::unique_ptr<TXPMenuStyle> fStyle;
  QList<QPointer<QWidget>> fHooked;
  QString fBarCaption;
  int fBarWidth = 24;
  QFont fBarFont;
  QColor fBarFontColor;
  std::unique_ptr<TPicture> fBarPicture;
  bool fBarTransparent = false;
  QFont fFont;
  QColor fFontColor;
  QColor fColor, fIconBackColor, fMenuBarColor, fSelectColor, fSelectBorderColor, fSelectFontColor, fDisabledColor,
      fSeparatorColor, fCheckedColor;
  int fIconWidth = 24;
  bool fDrawSelect = true;
  bool fUseSystemColors = true;
  bool fOverrideOwnerDraw = false;
  bool fGradient = false;
  bool fFlatMenu = false;
  bool fAutoDetect = false;
  bool fActive = false;
  bool fInstalling = false;
};

// What the forms put on their windows.
class TqsXPMenu : public TXPMenu {
  Q_OBJECT
 public:
  using TXPMenu::TXPMenu;
};

// Tool tips with a drop shadow where the windowing system can show one
// (a compositing desktop); elsewhere an ordinary hint window.
class TShadowedHintWindow : public QLabel {
  Q_OBJECT
 public:
  explicit TShadowedHintWindow(QWidget* parent = nullptr);
  bool HasShadow() const { return fShadow; }
  static bool PlatformOffersShadow();
  // Shows `text` near `screenPos`; an empty text hides the window.
  void ActivateHint(const QPoint& screenPos, const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool fShadow = false;
};

// Replaces the application's tool tips by TShadowedHintWindow.
void InstallShadowedHints();
