#pragma once
// Display modes for tests that switch the shared X screen (they hold the
// CTest resource lock x11_display_state).
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace testenv {

// Makes 800 x 600 available on the screen output (an Xvfb screen has only
// its own size until a mode is added); false when xrandr is missing.
inline bool Offer800x600() {
  if (QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty()) return false;
  QProcess::execute(QStringLiteral("xrandr"), {"--newmode", "800x600", "40.00", "800", "840", "968", "1056", "600",
                                               "601", "605", "628", "-HSync", "+VSync"});
  QProcess query;
  query.start(QStringLiteral("xrandr"), {"--query"});
  query.waitForFinished();
  const QString out = QString::fromLocal8Bit(query.readAllStandardOutput());
  const QString output = out.section('\n', 1, 1).section(' ', 0, 0);  // first output's name
  QProcess::execute(QStringLiteral("xrandr"), {"--addmode", output, "800x600"});
  return true;
}

}  // namespace testenv
