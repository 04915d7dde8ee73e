#pragma once
// The X server state that tests change and must give back: the screen
// saver's timeout and the screen size, through the X tools (xset, xrandr);
// and what the screen shows.
// Tests that use them hold the CTest resource lock x11_display_state.
#include <QImage>
#include <QRect>
#include <QString>

namespace x11state {

// The screen saver timeout in seconds as the server reports it; -1 when
// unknown.
int SaverTimeout();
// Sets it; -1 restores the server's default.
void SetSaverTimeout(int seconds);
// Switches the screen to that size when it is not already.
void SetScreenSize(int width, int height);
// That part of the screen as it shows now, without the mouse cursor; a
// null image when it cannot be read.
QImage ScreenShot(const QRect& area);

}  // namespace x11state
