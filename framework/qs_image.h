#pragma once
// A picture on a window: drawn at its own size, centred or at the top left,
// reduced to fit (keeping its proportions) when it is larger than the
// control, with the window showing through where it is transparent.
#include <QPixmap>
#include <QWidget>

#include <functional>

class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);

  const QPixmap& Picture() const { return fPicture; }
  void SetPicture(const QPixmap& value);
  bool Center() const { return fCenter; }
  void SetCenter(bool value);
  bool Proportional() const { return fProportional; }
  void SetProportional(bool value);
  void SetOnDblClick(std::function<void(QObject* sender)> handler) { fOnDblClick = std::move(handler); }

  // Where the picture is drawn now (empty without one).
  QRect PictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QPixmap fPicture;
  bool fCenter = false;
  bool fProportional = false;
  std::function<void(QObject*)> fOnDblClick;
};
