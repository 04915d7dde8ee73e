#pragma once
// The tool-bar button with state glyphs and groups, and the list view whose
// right button leaves the selection alone.
#include <QBitArray>
#include <QColor>
#include <QImage>
#include <QTreeWidget>
#include <QVector>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "controls/qs_Component.h"

enum TButtonState { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3 };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// Images of one size in numbered slots; freed slots are reused, never
// compacted, so indexes held by glyphs stay valid.
class TGlyphList {
 public:
  TGlyphList(int width, int height) : fWidth(width), fHeight(height) {}
  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  int Count() const { return fCount; }
  // Stores `image` with the pixels of `mask` made transparent (an invalid
  // colour masks nothing).
  int AddMasked(const QImage& image, const QColor& mask);
  void Delete(int index);
  const QImage& Image(int index) const { return fImages[index]; }

 private:
  int fWidth, fHeight;
  int fCount = 0;
  QBitArray fUsed;
  QVector<QImage> fImages;
};

// One per process: glyph lists by image size, shared by every button.
class TGlyphCache {
 public:
  // The newest list of exactly that size, made when there is none.
  TGlyphList* GetList(int width, int height);
  // Frees `list` once it holds no image.
  void ReturnList(TGlyphList* list);
  bool Empty() const { return fLists.empty(); }
  int ListCount() const { return int(fLists.size()); }

  static TGlyphCache* Instance();  // null before the first glyph
  static TGlyphCache& Acquire();
  static void ReleaseIfEmpty();

 private:
  std::vector<std::unique_ptr<TGlyphList>> fLists;
};

class TButtonGlyph {
 public:
  TButtonGlyph() = default;
  ~TButtonGlyph();
  TButtonGlyph(const TButtonGlyph&) = delete;
  TButtonGlyph& operator=(const TButtonGlyph&) = delete;

  const QImage& Glyph() const { return fOriginal; }
  void SetGlyph(const QImage& value);
  int NumGlyphs() const { return fNumGlyphs; }
  void SetNumGlyphs(int value);
  QColor TransparentColor() const { return fTransparentColor; }
  // Slot of the state's image in the shared list; -1 without a glyph.
  int CreateButtonGlyph(TButtonState state);
  const QImage* StateImage(TButtonState state);
  void Invalidate();
  void SetOnChange(std::function<void()> handler) { fOnChange = std::move(handler); }
  QSize ImageSize() const;

 private:
  void Changed() {
    if (fOnChange) fOnChange();
  }
  QImage fOriginal;
  QColor fTransparentColor = QColor(0x80, 0x80, 0x00);
  int fNumGlyphs = 1;
  std::array<int, 4> fIndexs{-1, -1, -1, -1};
  TGlyphList* fGlyphList = nullptr;
  std::function<void()> fOnChange;
};

class QShortcut;

class TqsSpeedButton : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

 public:
  explicit TqsSpeedButton(QWidget* parent = nullptr);

  bool AllowAllUp() const { return fAllowAllUp; }
  void SetAllowAllUp(bool value);
  int GroupIndex() const { return fGroupIndex; }
  void SetGroupIndex(int value);
  bool Down() const { return fDown; }
  void SetDown(bool value);
  QString Caption() const { return fCaption; }
  void SetCaption(const QString& value);
  bool Flat() const { return fFlat; }
  void SetFlat(bool value);
  const QImage& Glyph() const { return fGlyph.Glyph(); }
  void SetGlyph(const QImage& value) { fGlyph.SetGlyph(value); }
  TButtonLayout Layout() const { return fLayout; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return fMargin; }
  void SetMargin(int value);
  int NumGlyphs() const { return fGlyph.NumGlyphs(); }
  void SetNumGlyphs(int value) { fGlyph.SetNumGlyphs(value); }
  int Spacing() const { return fSpacing; }
  void SetSpacing(int value);
  bool Transparent() const { return fTransparent; }
  void SetTransparent(bool value);
  bool WithBorder() const { return fWithBorder; }
  void SetWithBorder(bool value);
  QColor Color() const { return fColor; }
  void SetColor(const QColor& value);
  QColor FontColor() const { return fFontColor; }
  void SetFontColor(const QColor& value);

  TButtonState State() const { return fState; }
  bool Hot() const { return fHot; }
  bool Dragging() const { return fDragging; }
  TButtonGlyph& ButtonGlyph() { return fGlyph; }

  void SetOnClick(TNotifyEvent handler) { fOnClick = std::move(handler); }
  void SetOnDblClick(TNotifyEvent handler) { fOnDblClick = std::move(handler); }
  void SetOnMouseDown(TMouseEvent handler) { fOnMouseDown = std::move(handler); }
  void SetOnMouseUp(TMouseEvent handler) { fOnMouseUp = std::move(handler); }
  void SetOnMouseMove(TMouseMoveEvent handler) { fOnMouseMove = std::move(handler); }

  // Where glyph and caption go in `client` with `offset` (for tests and
  // painting alike).
  struct TLayoutResult {
    QPoint glyphPos;
    QRect textRect;
  };
  TLayoutResult CalcLayout(const QRect& client, const QPoint& offset) const;
  void Click();
  // The group notification every button of the parent receives.
  void ButtonPressed(int groupIndex, TqsSpeedButton* sender);
  void Loaded();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void UpdateExclusive();
  void UpdateTracking(const QPoint& pos);
  void UpdateAccelerator();
  bool Inside(const QPoint& p) const;

  TButtonGlyph fGlyph;
  TButtonState fState = bsUp;
  bool fHot = false;
  bool fDragging = false;
  bool fAllowAllUp = false;
  int fGroupIndex = 0;
  bool fDown = false;
  QString fCaption;
  bool fFlat = false;
  TButtonLayout fLayout = blGlyphLeft;
  int fMargin = -1;
  int fSpacing = 4;
  bool fTransparent = true;
  bool fWithBorder = false;
  QColor fColor;
  QColor fFontColor;
  QShortcut* fShortcut = nullptr;
  TNotifyEvent fOnClick, fOnDblClick;
  TMouseEvent fOnMouseDown, fOnMouseUp;
  TMouseMoveEvent fOnMouseMove;
};

// A list view whose right button opens the pop-up where it is released and
// never moves the selection.
class TqsListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TqsListView(QWidget* parent = nullptr);

  void SetOnMouseDown(TMouseEvent handler) { fOnMouseDown = std::move(handler); }
  void SetOnMouseUp(TMouseEvent handler) { fOnMouseUp = std::move(handler); }
  // The list's pop-up menu, shown on the context-menu request.
  QMenu* PopupMenu() const { return fPopupMenu; }
  void SetPopupMenu(QMenu* menu) { fPopupMenu = menu; }
  // Called with the screen point of every context-menu request before the
  // pop-up opens.
  void SetOnContextPopup(std::function<void(const QPoint& screenPos)> handler) { fOnContextPopup = std::move(handler); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  TMouseEvent fOnMouseDown, fOnMouseUp;
  QMenu* fPopupMenu = nullptr;
  std::function<void(const QPoint&)> fOnContextPopup;
  bool fOwnRequest = false;
};
