#include "app/pk_preview_media.h"

#include <QApplication>

#include "app/pk_fmain.h"
#include "app/pk_param.h"
#include "platform/mpris_service.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_utils.h"

namespace {

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
  return CurrentPositionUs(fWindow.FilterGraph->MediaSeeking());
}

int64_t TPreviewMediaPlayer::MediaDurationUs() const { return DurationUs(fWindow.FilterGraph->MediaSeeking()); }

void TPreviewMediaPlayer::MediaSetPositionUs(int64_t position) {
  IMediaSeeking* seeking = fWindow.FilterGraph->MediaSeeking();
  if (!seeking) return;
  int64_t target = position * kMediaUnitsPerMicrosecond;
  seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  platform::MediaPlayerChanged(this, true);
}

double TPreviewMediaPlayer::MediaVolume() const { return Parameters().SoundLevel(); }

// The level is the viewer's too: one setting for both players.
void TPreviewMediaPlayer::MediaSetVolume(double level) {
  Parameters().SetSoundLevel(level);
  fWindow.FilterGraph->SetVolume(Parameters().GraphVolume());
  platform::MediaPlayerChanged(this);
}
