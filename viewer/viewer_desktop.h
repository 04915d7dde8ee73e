#pragma once
// What the desktop learns of the viewer's movie: it goes into the recently
// used files, its thumbnail into the shared cache (for the media controls'
// picture), and the machine does not suspend while it plays.
#include <QObject>
#include <QString>

#include <functional>
#include <thread>

class TViewerDesktop : public QObject {
 public:
  // `thumbnailReady` runs on this object's thread once a thumbnail of the
  // movie being shown has been written to the cache.
  explicit TViewerDesktop(std::function<void()> thumbnailReady);
  ~TViewerDesktop() override;

  void MovieOpened(const QString& fileName);
  // Playing (true), or paused or ended.
  void Playing(bool playing);
  void MovieClosed();

 private:
  std::function<void()> fThumbnailReady;
  std::thread fThumbnailer;
  QString fFileName;
};
