#include "app/pk_preview_media.h"

#include <QApplication>

#include "app/pk_fmain.h"
#include "platform/mpris_service.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_utils.h"

namespace {

constexpr int64_t kUnitsPerMicrosecond = 10;  // media time: 100 ns
constexpr int kRunning = 3;                   // GraphState: playing

}  // namespace

TPreviewMediaPlayer::~TPreviewMediaPlayer() { Ended(); }

void TPreviewMediaPlayer::Started(const QString& path, const QString& caption) {
  fFile = path;
  fCaption = caption;
  platform::MediaPlayerStarted(this);
}

void TPreviewMediaPlayer::Ended() { platform::MediaPlayerEnded(this); }

bool TPreviewMediaPlayer::MediaPlaying() const { return fWindow.FilterGraph->GraphState() == kRunning; }

void TPreviewMediaPlayer::MediaPlay() {
  fWindow.FilterGraph->Play();
  platform::MediaPlayerChanged(this);
}

void TPreviewMediaPlayer::MediaPause() {
  fWindow.FilterGraph->Pause();
  platform::MediaPlayerChanged(this);
}

void TPreviewMediaPlayer::MediaStop() { fWindow.StopPreview(); }

void TPreviewMediaPlayer::MediaQuit() { QApplication::closeAllWindows(); }

void TPreviewMediaPlayer::MediaRaise() {
  fWindow.showNormal();
  fWindow.raise();
  fWindow.activateWindow();
}

int64_t TPreviewMediaPlayer::MediaPositionUs() const {
  int64_t current = 0;
  IMediaSeeking* seeking = fWindow.FilterGraph->MediaSeeking();
  if (!seeking || Failed(seeking->GetCurrentPosition(&current))) return -1;
  return current / kUnitsPerMicrosecond;
}

int64_t TPreviewMediaPlayer::MediaDurationUs() const {
  int64_t duration = 0;
  IMediaSeeking* seeking = fWindow.FilterGraph->MediaSeeking();
  if (!seeking || Failed(seeking->GetDuration(&duration))) return -1;
  return duration / kUnitsPerMicrosecond;
}

void TPreviewMediaPlayer::MediaSetPositionUs(int64_t position) {
  IMediaSeeking* seeking = fWindow.FilterGraph->MediaSeeking();
  if (!seeking) return;
  int64_t target = position * kUnitsPerMicrosecond;
  seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  platform::MediaPlayerChanged(this, true);
}
