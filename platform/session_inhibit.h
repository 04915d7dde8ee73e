#pragma once
// Idle blanking held off through the desktop session: desktops that blank
// the screen themselves (most Wayland and many X11 sessions) ignore the X
// server's screen saver settings and honour only this request.
#include <QString>

namespace platform {

// Asks the session's screen-saver service to hold off idle blanking. True
// when this call took the hold; false when one is held already, or when the
// session offers no such service.
bool InhibitSessionIdle(const QString& reason);
// Gives our hold back; true when one was held.
bool ReleaseSessionIdle();
bool SessionIdleInhibited();

}  // namespace platform
