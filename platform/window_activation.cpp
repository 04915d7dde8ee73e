#include "platform/window_activation.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/x11_display.h"

namespace platform {

namespace {

bool WindowManagerActivates(Display* display, Window root, Atom activeWindow) {
  const Atom supported = XInternAtom(display, "_NET_SUPPORTED", True);
  if (supported == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(display, root, supported, 0, 4096, False, XA_ATOM, &type, &format, &count, &remaining,
                         &data) == Success &&
      data && format == 32) {
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == activeWindow;
  }
  if (data) XFree(data);
  return found;
}

}  // namespace

bool ActivateTopLevelWindow(unsigned long window) {
  X11Connection x;
  if (!x || window == 0) return false;
  Display* display = x.Display();
  const Window root = DefaultRootWindow(display);
  const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  if (WindowManagerActivates(display, root, activeWindow)) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = activeWindow;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;  // source: a pager, i.e. the user's own choice
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  } else {
    // No window manager: stack it on top and give it the keyboard ourselves.
    XRaiseWindow(display, window);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
  }
  return x.Sync();
}

}  // namespace platform
