#include "tests/support/x11_state.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace x11state {

namespace {

QByteArray RunForBytes(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished();
  return process.readAllStandardOutput();
}

QString Run(const QString& program, const QStringList& arguments) {
  return QString::fromLocal8Bit(RunForBytes(program, arguments));
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

QImage ScreenShot(const QRect& area) {
  // ffmpeg is there for the test movies anyway.
  const QByteArray png = RunForBytes(
      QStringLiteral("ffmpeg"),
      {"-v", "error", "-f", "x11grab", "-draw_mouse", "0", "-video_size",
       QStringLiteral("%1x%2").arg(area.width()).arg(area.height()), "-i",
       QStringLiteral("%1+%2,%3").arg(qEnvironmentVariable("DISPLAY")).arg(area.x()).arg(area.y()), "-frames:v", "1",
       "-f", "image2pipe", "-c:v", "png", "-"});
  return QImage::fromData(png, "PNG");
}

}  // namespace x11state
