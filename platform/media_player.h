#pragma once
// What the desktop's media controls (keyboard media keys, the panel's player
// applet) may ask of a player of the program: the viewer and the main
// window's preview implement it, the desktop service drives it.
#include <QString>

#include <cstdint>

namespace platform {

class IMediaPlayer {
 public:
  virtual ~IMediaPlayer() = default;

  // Playing (true) or paused.
  virtual bool MediaPlaying() const = 0;
  virtual void MediaPlay() = 0;
  virtual void MediaPause() = 0;
  // Ends playback as the player's own stop or close command does.
  virtual void MediaStop() = 0;
  // Ends the program as closing its windows does.
  virtual void MediaQuit() = 0;
  // Brings the player's window forward.
  virtual void MediaRaise() = 0;
  // Microseconds; a negative answer when not known.
  virtual int64_t MediaPositionUs() const = 0;
  virtual int64_t MediaDurationUs() const = 0;
  // Moves to `position` and, like every jump of the player, announces it
  // (MediaPlayerChanged with `seeked`).
  virtual void MediaSetPositionUs(int64_t position) = 0;
  // The sound level, 0.0 (silent or muted) to 1.0, as the player's own
  // volume commands set it; setting it unmutes.
  virtual double MediaVolume() const = 0;
  virtual void MediaSetVolume(double level) = 0;
  // The movie's caption and its file.
  virtual QString MediaTitle() const = 0;
  virtual QString MediaFileName() const = 0;
  // Shown over the whole screen.
  virtual bool MediaFullscreen() const { return false; }
};

}  // namespace platform
