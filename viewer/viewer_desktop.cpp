#include "viewer/viewer_desktop.h"

#include <QMetaObject>

#include "platform/recent_files.h"
#include "platform/sleep_inhibit.h"
#include "platform/thumbnail_cache.h"
#include "viewer/movie_frame.h"

namespace {

const QString kWhy = QStringLiteral("Playing a movie");
constexpr int kThumbnailSize = 256;  // the cache's "large" size

}  // namespace

TViewerDesktop::TViewerDesktop(std::function<void()> thumbnailReady) : fThumbnailReady(std::move(thumbnailReady)) {}

TViewerDesktop::~TViewerDesktop() {
  platform::ReleaseIdleSleep();
  // A thumbnail takes a few seconds at most; the answer then finds no one.
  if (fThumbnailer.joinable()) fThumbnailer.join();
}

void TViewerDesktop::MovieOpened(const QString& fileName) {
  fFileName = fileName;
  platform::AddRecentFile(fileName);
  if (!platform::CachedThumbnail(fileName).isEmpty()) return;
  // Decoding a frame is too slow for the window's thread.
  if (fThumbnailer.joinable()) fThumbnailer.join();
  fThumbnailer = std::thread([this, fileName] {
    const QImage frame = PreviewFrameOf(fileName, kThumbnailSize);
    if (frame.isNull() || !platform::StoreThumbnail(fileName, frame)) return;
    QMetaObject::invokeMethod(
        this,
        [this, fileName] {
          if (fileName == fFileName && fThumbnailReady) fThumbnailReady();
        },
        Qt::QueuedConnection);
  });
}

void TViewerDesktop::Playing(bool playing) {
  if (playing)
    platform::InhibitIdleSleep(kWhy);
  else
    platform::ReleaseIdleSleep();
}

void TViewerDesktop::MovieClosed() {
  fFileName.clear();
  platform::ReleaseIdleSleep();
}
