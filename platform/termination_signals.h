#pragma once
// The requests to end that come as signals: SIGTERM (shut-down, kill),
// SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went away). They are
// caught from the moment the watcher exists and handed to the program's own
// thread through its event loop, so the program can end the way a user's
// close ends it. A second signal of the same kind ends the process at once,
// the default way, for when that orderly end hangs.
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace platform {

class TTerminationSignals : public QObject {
  Q_OBJECT
 public:
  // Catches the three signals from now on; nothing is delivered before
  // Deliver. Only one watcher may exist at a time.
  explicit TTerminationSignals(QObject* parent = nullptr);
  // Gives the signals back their previous handling.
  ~TTerminationSignals() override;

  // Hands every signal caught so far and from now on to `handler`, on this
  // object's thread, from its event loop.
  void Deliver(std::function<void(int signal)> handler);

 private:
  void ReadPending();

  std::function<void(int)> fHandler;
  QSocketNotifier* fNotifier = nullptr;
};

// A program started by a file manager or a launcher may find its output
// going to a pipe that nobody reads any more: writing a warning there must not
// end it (with the viewing unrecorded). Writes then simply fail.
void IgnoreClosedOutput();

}  // namespace platform
