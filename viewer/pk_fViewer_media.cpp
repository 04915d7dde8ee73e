// The viewer as the desktop's media controls see it: each request does what
// the viewer's own button, key or menu command for it does.
#include <QApplication>

#include "framework/qs_messages.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_utils.h"
#include "viewer/pk_fViewer.h"

namespace {

constexpr int64_t kUnitsPerMicrosecond = 10;  // media time: 100 ns

}  // namespace

bool TFrmViewer::MediaPlaying() const { return !fPaused; }
void TFrmViewer::MediaPlay() { _sbStartClick(); }
void TFrmViewer::MediaPause() { _sbPauseClick(); }
// As the close button: the position reached is recorded.
void TFrmViewer::MediaStop() { _sbCloseClick(); }
void TFrmViewer::MediaQuit() { QApplication::closeAllWindows(); }

void TFrmViewer::MediaRaise() {
  if (!isVisible()) return;
  raise();
  activateWindow();
}

int64_t TFrmViewer::MediaPositionUs() const {
  int64_t current = 0;
  if (!fMediaSeeking || Failed(fMediaSeeking->GetCurrentPosition(&current))) return -1;
  return current / kUnitsPerMicrosecond;
}

int64_t TFrmViewer::MediaDurationUs() const {
  int64_t duration = 0;
  if (!fMediaSeeking || Failed(fMediaSeeking->GetDuration(&duration))) return -1;
  return duration / kUnitsPerMicrosecond;
}

void TFrmViewer::MediaSetPositionUs(int64_t position) {
  if (!fOpened || !fMediaSeeking) return;
  SetCurrentPosition(position * kUnitsPerMicrosecond);
  if (fPaused) PostWindowMessage(this, WM_SHOWPOSITION);
}

QString TFrmViewer::MediaTitle() const { return fMovieTitle; }
QString TFrmViewer::MediaFileName() const { return fMovieFileName; }
