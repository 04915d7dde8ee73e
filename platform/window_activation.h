#pragma once
// Bringing one of our top-level windows to the front with the keyboard, the
// way a task bar does when the user picks it: a later start of the program is
// the user asking for it, which a window manager's guard against windows
// taking the focus by themselves would otherwise refuse.

namespace platform {

// `window` is the native (X11) id of a shown top-level window. False without
// an X server or when the server refused.
bool ActivateTopLevelWindow(unsigned long window);

}  // namespace platform
