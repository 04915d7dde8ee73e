#pragma once
// Records what a change notifier's handlers hear, and waits for it.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>

#include "controls/qs_ShellNotify.h"

namespace notifytest {

// Runs the event loop until `done` holds or `ms` have passed.
inline bool WaitFor(const std::function<bool()>& done, int ms = 15000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Each heard event as "<name> <path1>" or "<name> <path1> -> <path2>".
struct Recorder {
  QStringList heard;

  TOneParmEvent One(const QString& name) {
    return [this, name](TSHChangeNotify*, std::uint32_t, const QString& path1) {
      heard.append(name + QLatin1Char(' ') + path1);
    };
  }
  TTwoParmEvent Two(const QString& name) {
    return [this, name](TSHChangeNotify*, std::uint32_t, const QString& path1, const QString& path2) {
      heard.append(name + QLatin1Char(' ') + path1 + QStringLiteral(" -> ") + path2);
    };
  }
  bool Heard(const QString& line) const { return heard.contains(line); }
  bool WaitToHear(const QString& line, int ms = 15000) {
    return WaitFor([&] { return Heard(line); }, ms);
  }
};

}  // namespace notifytest

// Readable failure output for the recorded lines.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
