// The viewer as the desktop's media controls see it: each request does what
// the viewer's own button, key or menu command for it does.
#include <QApplication>

#include "viewer/filter_graph.h"
#include "viewer/graph_utils.h"
#include "viewer/pk_fViewer.h"

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

int64_t TFrmViewer::MediaPositionUs() const { return CurrentPositionUs(fMediaSeeking); }

int64_t TFrmViewer::MediaDurationUs() const { return DurationUs(fMediaSeeking); }

void TFrmViewer::MediaSetPositionUs(int64_t position) {
  if (!fOpened || !fMediaSeeking) return;
  SetCurrentPosition(position * kMediaUnitsPerMicrosecond);
}

QString TFrmViewer::MediaTitle() const { return fMovieTitle; }
QString TFrmViewer::MediaFileName() const { return fMovieFileName; }
// The viewer always covers the whole screen while it shows a movie.
bool TFrmViewer::MediaFullscreen() const { return fShowing; }
