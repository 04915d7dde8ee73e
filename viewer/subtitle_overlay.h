#pragma once
// The subtitle over the picture of a video window: the cue of the chosen
// track at the current position, at the foot of the part of the picture
// that can be seen (a cropped picture keeps its text in view), white with a
// dark outline so it reads on any picture.
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;
class TDSVideoWindowEx2;
class TSubtitleTrack;

class TSubtitleOverlay : public QWidget {
  Q_OBJECT
 public:
  // The position in nanoseconds of the movie shown; negative when unknown.
  using TPosition = std::function<int64_t()>;
  TSubtitleOverlay(TDSVideoWindowEx2* video, TPosition position);
  ~TSubtitleOverlay() override;

  // The track shown; null for none.
  void SetTrack(std::shared_ptr<TSubtitleTrack> track);
  const std::shared_ptr<TSubtitleTrack>& Track() const { return fTrack; }
  // The text painted now.
  const QString& Text() const { return fText; }
  // Looks at the position again (also done a few times a second).
  void Refresh();
  // Where the text may go, in this widget's pixels: the picture as seen.
  QRect VisiblePicture() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The text drawn once per text and size: the picture repaints often.
  const QImage& Rendered(const QRect& area);

  TDSVideoWindowEx2* fVideo;
  TPosition fPosition;
  std::shared_ptr<TSubtitleTrack> fTrack;
  QString fText;
  QTimer* fTimer;
  QImage fImage;
  QString fImageText;
  QSize fImageArea;
};
