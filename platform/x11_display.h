#pragma once
// A short-lived connection to the X server named by DISPLAY, with X errors
// turned into a flag instead of ending the program.

struct _XDisplay;

namespace platform {

class X11Connection {
 public:
  X11Connection();
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  // Null without an X server (no DISPLAY, Wayland only, refused).
  _XDisplay* Display() const { return fDisplay; }
  explicit operator bool() const { return fDisplay != nullptr; }
  // Waits for the server to handle every request sent so far; false when
  // one of them failed since the connection was opened.
  bool Sync();

 private:
  _XDisplay* fDisplay = nullptr;
  int (*fPreviousHandler)(_XDisplay*, void*) = nullptr;
};

}  // namespace platform
