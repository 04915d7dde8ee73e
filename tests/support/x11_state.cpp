#include "tests/support/x11_state.h"

#include <QProcess>
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

void SetScreenSize(int width, int height) {
  const QString size = QStringLiteral("%1x%2").arg(width).arg(height);
  if (!Xrandr({"--query"}).contains(QStringLiteral("current %1 x %2").arg(width).arg(height)))
    Xrandr({"-s", size});
}

}  // namespace x11state
