#pragma once
// Places a window's controls where they were designed and keeps them there
// as the window grows or shrinks: each side of a control that is anchored
// keeps its distance to the same side of the parent.
#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;

inline constexpr TAnchors kAnchorsDefault = akLeft | akTop;
inline constexpr TAnchors kAlignTop = akLeft | akTop | akRight;
inline constexpr TAnchors kAlignBottom = akLeft | akRight | akBottom;
inline constexpr TAnchors kAlignClient = akLeft | akTop | akRight | akBottom;

class TDesignLayout : public QLayout {
  Q_OBJECT
 public:
  // `designSize`: the parent's client size the geometries are given for.
  TDesignLayout(QWidget* parent, QSize designSize);
  ~TDesignLayout() override;

  // Controls added from now on are given for this parent size; those added
  // before keep their distances to the anchored sides.
  QSize DesignSize() const { return fDesignSize; }
  void SetDesignSize(QSize size) { fDesignSize = size; invalidate(); }

  // Puts `control` at `geometry` of the design size.
  void Add(QWidget* control, const QRect& geometry, TAnchors anchors = kAnchorsDefault);
  // Where `control` goes in a parent of `size`.
  QRect Place(const QWidget* control, QSize size) const;

  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;

 private:
  struct TPlacement {
    QLayoutItem* item;
    int left, top, right, bottom, width, height;
    TAnchors anchors;
  };
  static QRect PlaceItem(const TPlacement& p, QSize size);

  QSize fDesignSize;
  QList<TPlacement> fItems;
};
