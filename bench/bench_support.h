#pragma once
// Small pieces several benchmarks share: this process's CPU time, running
// the event loop until something holds, and finding a movie in the list.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <ctime>
#include <functional>

namespace benchsupport {

inline double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// Runs the event loop until `done` holds, looking every `pollMs`; false
// after `ms`.
inline bool RunUntil(const std::function<bool()>& done, int ms = 30000, int pollMs = 1) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QEventLoop loop;
    QTimer::singleShot(pollMs, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// The row of the main window's list whose caption is `caption`, or -1.
template <class TWindow>
int ItemIndex(const TWindow& window, const QString& caption) {
  for (int i = 0; i < window.ItemCount(); ++i)
    if (window.Item(i)->text(0) == caption) return i;
  return -1;
}

}  // namespace benchsupport
