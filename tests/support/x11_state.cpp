#include "tests/support/x11_state.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace x11state {

namespace {

QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished();
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString Xrandr(const QStringList& arguments) { return Run(QStringLiteral("xrandr"), arguments); }

}  // namespace

int SaverTimeout() {
  const QString out = Run(QStringLiteral("xset"), {"q"});
  const qsizetype at = out.indexOf(QStringLiteral("timeout:"));
  return at < 0 ? -1 : out.mid(at + 8).trimmed().section(' ', 0, 0).toInt();
}

void SetSaverTimeout(int seconds) {
  Run(QStringLiteral("xset"), {"s", seconds < 0 ? QStringLiteral("default") : QString::number(seconds)});
}

bool Offer800x600() {
  if (QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty()) return false;
  Xrandr({"--newmode", "800x600", "40.00", "800", "840", "968", "1056", "600", "601", "605", "628", "-HSync",
          "+VSync"});
  const QString output = Xrandr({"--query"}).section('\n', 1, 1).section(' ', 0, 0);  // first output's name
  Xrandr({"--addmode", output, "800x600"});
  return true;
}

void SetScreenSize(int width, int height) {
  const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
  if (!Xrandr({"--query"}).contains(QStringLiteral("current %1 x %2").arg(width).arg(height)))
    Xrandr({"-s", size});
}

}  // namespace x11state
