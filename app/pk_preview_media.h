#pragma once
// The main window's preview as the desktop's media controls see it: play,
// pause, seek and stop act on the preview pane, raise on the main window.
#include <QString>

#include "platform/media_player.h"

class TFrmShowcase;

class TPreviewMediaPlayer : public platform::IMediaPlayer {
 public:
  explicit TPreviewMediaPlayer(TFrmShowcase& window) : fWindow(window) {}
  ~TPreviewMediaPlayer() override;
  TPreviewMediaPlayer(const TPreviewMediaPlayer&) = delete;
  TPreviewMediaPlayer& operator=(const TPreviewMediaPlayer&) = delete;

  // The preview has begun playing `path`, shown in the list as `caption`.
  void Started(const QString& path, const QString& caption);
  // The preview has stopped (or never began).
  void Ended();

  bool MediaPlaying() const override;
  void MediaPlay() override;
  void MediaPause() override;
  void MediaStop() override;
  void MediaQuit() override;
  void MediaRaise() override;
  int64_t MediaPositionUs() const override;
  int64_t MediaDurationUs() const override;
  void MediaSetPositionUs(int64_t position) override;
  double MediaVolume() const override;
  void MediaSetVolume(double level) override;
  QString MediaTitle() const override { return fCaption; }
  QString MediaFileName() const override { return fFile; }

 private:
  TFrmShowcase& fWindow;
  QString fFile;
  QString fCaption;
};
