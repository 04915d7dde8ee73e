#pragma once
// The X server state that tests change and must give back: the screen
// saver's timeout and the screen size, through the X tools (xset, xrandr).
#include <QString>

namespace x11state {

// The screen saver timeout in seconds as the server reports it; -1 when
// unknown.
int SaverTimeout();
// Sets it; -1 restores the server's default.
void SetSaverTimeout(int seconds);
// Makes 800 x 600 available on the screen's output (an Xvfb screen has only
// its own size until a mode is added); false when xrandr is missing.
bool Offer800x600();
// Switches the screen to that size when it is not already.
void SetScreenSize(int width, int height);

}  // namespace x11state
