#include "platform/x11_display.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

std::atomic<bool> gRequestFailed{false};
// One connection at a time: the error handler is process-wide.
std::recursive_mutex gConnectionLock;

int RecordError(Display*, XErrorEvent*) {
  gRequestFailed = true;
  return 0;
}

}  // namespace

X11Connection::X11Connection() {
  gConnectionLock.lock();
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return;
  fDisplay = XOpenDisplay(nullptr);
  if (!fDisplay) return;
  gRequestFailed = false;
  fPreviousHandler = reinterpret_cast<int (*)(_XDisplay*, void*)>(XSetErrorHandler(RecordError));
}

X11Connection::~X11Connection() {
  if (fDisplay) {
    XSync(fDisplay, False);
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(fPreviousHandler));
    XCloseDisplay(fDisplay);
  }
  gConnectionLock.unlock();
}

bool X11Connection::Sync() {
  if (!fDisplay) return false;
  XSync(fDisplay, False);
  return !gRequestFailed;
}

}  // namespace platform
