#include "platform/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QByteArray>
#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>

namespace platform {

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The self-pipe: the handler only writes the signal's number into it. It is
// made once and never closed, so a handler running late on another thread
// never writes into a closed or reused descriptor.
int gReadFd = -1;
std::atomic<int> gWriteFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction gPrevious[kSignals.size()];
bool gInstalled[kSignals.size()] = {};
bool gWatcherExists = false;

extern "C" void OnTerminationSignal(int signal) {
  // Async-signal-safe: an atomic load and write(2); errno is the
  // interrupted code's.
  const int savedErrno = errno;
  const int fd = gWriteFd.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    const ssize_t written = ::write(fd, &byte, 1);
    (void)written;  // a full pipe already holds a request to end
  }
  errno = savedErrno;
}

bool MakePipe() {
  if (gReadFd >= 0) return true;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  gReadFd = fds[0];
  gWriteFd.store(fds[1]);
  return true;
}

void DrainPipe() {
  unsigned char buffer[64];
  while (gReadFd >= 0 && ::read(gReadFd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
  Q_ASSERT(!gWatcherExists);
  gWatcherExists = true;
  if (!MakePipe()) return;
  for (size_t i = 0; i < kSignals.size(); ++i) {
    struct sigaction current {};
    ::sigaction(kSignals[i], nullptr, &current);
    // A signal ignored by whoever started us (nohup, a background job)
    // stays ignored.
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Reset to the default after the first: a second signal ends at once.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    gInstalled[i] = ::sigaction(kSignals[i], &action, &gPrevious[i]) == 0;
  }
}

TTerminationSignals::~TTerminationSignals() {
  for (size_t i = 0; i < kSignals.size(); ++i) {
    if (gInstalled[i]) ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    gInstalled[i] = false;
  }
  // Whatever was caught and not handled belongs to this watcher only.
  DrainPipe();
  gWatcherExists = false;
}

void TTerminationSignals::Deliver(std::function<void(int)> handler) {
  fHandler = std::move(handler);
  if (fNotifier || gReadFd < 0) return;
  fNotifier = new QSocketNotifier(gReadFd, QSocketNotifier::Read, this);
  connect(fNotifier, &QSocketNotifier::activated, this, &TTerminationSignals::ReadPending);
}

void TTerminationSignals::ReadPending() {
  // Everything first, then the handler: it may run event loops of its own,
  // in which this notifier fires again.
  QByteArray caught;
  char buffer[16];
  ssize_t n;
  while ((n = ::read(gReadFd, buffer, sizeof buffer)) > 0) caught.append(buffer, n);
  for (const char signal : caught)
    if (fHandler) fHandler(static_cast<unsigned char>(signal));
}

namespace {
void IgnoreSignal(int) {}
}  // namespace

// A handler rather than SIG_IGN: a handled signal goes back to its default in
// the programs we start, an ignored one would be inherited by them.
void IgnoreClosedOutput() {
  struct sigaction action {};
  action.sa_handler = IgnoreSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace platform
