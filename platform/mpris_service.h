#pragma once
// The program's players on the session bus under the desktop's media player
// interface (org.mpris.MediaPlayer2.cinvo), so media keys and the desktop's
// player controls reach them. Published while a player plays a movie; no
// session bus means no service and no message.
#include "platform/media_player.h"

namespace platform {

// `player` has begun a movie: it becomes the controlled player and the
// service is published (or its movie announced, when already published).
void MediaPlayerStarted(IMediaPlayer* player);
// Its state changed (playing, paused, movie); `seeked`: its position jumped.
void MediaPlayerChanged(IMediaPlayer* player, bool seeked = false);
// It has ended its movie: the player started before it, if still playing,
// is controlled again; with none left the service goes from the bus.
void MediaPlayerEnded(IMediaPlayer* player);

}  // namespace platform
