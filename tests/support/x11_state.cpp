#include "tests/support/x11_state.h"

#include <QProcess>
#include <QStringList>

#include <bit>

// After every Qt header: Xlib's macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

QImage WindowPixels(const QString& window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return {};
  // A window that went meanwhile is an empty answer, not the end of the test.
  XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  QImage image;
  const ::Window id = window.trimmed().toULong();
  XWindowAttributes attributes;
  if (id != 0 && XGetWindowAttributes(display, id, &attributes) && attributes.map_state == IsViewable) {
    if (XImage* shot = XGetImage(display, id, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap)) {
      const auto channel = [](unsigned long pixel, unsigned long mask) {
        return mask ? static_cast<int>((pixel & mask) >> std::countr_zero(mask)) : 0;
      };
      image = QImage(shot->width, shot->height, QImage::Format_RGB32);
      for (int y = 0; y < shot->height; ++y)
        for (int x = 0; x < shot->width; ++x) {
          const unsigned long pixel = XGetPixel(shot, x, y);
          image.setPixel(x, y, qRgb(channel(pixel, shot->red_mask), channel(pixel, shot->green_mask),
                                    channel(pixel, shot->blue_mask)));
        }
      XDestroyImage(shot);
    }
  }
  XSync(display, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display);
  return image;
}

}  // namespace x11state
