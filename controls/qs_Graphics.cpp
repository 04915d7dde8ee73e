#include "controls/qs_Graphics.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QPainter>
#include <QPalette>

namespace {

QColor SysColorRaw(TSysColor role) {
  const QPalette pal = QApplication::palette();
  switch (role) {
    case TSysColor::BtnFace: return pal.color(QPalette::Button);
    case TSysColor::BtnShadow: return pal.color(QPalette::Dark);
    case TSysColor::BtnHighlight: return pal.color(QPalette::Light);
    case TSysColor::DkShadow: return pal.color(QPalette::Shadow);
    case TSysColor::Highlight: return pal.color(QPalette::Highlight);
    case TSysColor::HighlightText: return pal.color(QPalette::HighlightedText);
    case TSysColor::MenuText: return pal.color(QPalette::WindowText);
    case TSysColor::WindowText: return pal.color(QPalette::WindowText);
    case TSysColor::InactiveCaption: return pal.color(QPalette::Disabled, QPalette::WindowText);
  }
  return Qt::black;
}

}  // namespace

QColor SysColor(TSysColor role) {
  // Plain 8-bit colours, as they land in painted pixels.
  return QColor::fromRgba(SysColorRaw(role).rgba());
}

void EnsureFormFonts() {
  static bool done = false;
  if (done || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  done = true;
  // fonts-wine ships free fonts with the same metrics as the ones the forms
  // were laid out with, so captions keep fitting their labels.
  const char* dir = "/usr/share/wine/fonts/";
  bool tahoma = false;
  // Wine's "MS Sans Serif" holds bitmaps at the classic sizes only: on a
  // scaled screen its letters stay small while their spacing grows, so there
  // it is left out and Tahoma stands in, as the substitution below says.
  const bool scaled = qGuiApp->devicePixelRatio() > 1.0;
  for (const char* file : {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"}) {
    if (scaled && file[0] == 'm') continue;
    const QString path = QString::fromLatin1(dir) + QString::fromLatin1(file);
    if (QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0 && file[0] == 't') tahoma = true;
  }
  // "MS Sans Serif" is replaced by Tahoma where both exist, as on the
  // systems the forms were made on.
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")});
  if (!tahoma) QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"));
}

void DrawFrameLines(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  if (r.width() <= 0 || r.height() <= 0) return;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
  p.restore();
}

void DrawFlatEdge(QPainter& p, const QRect& r, bool sunken) {
  if (sunken)
    DrawFrameLines(p, r, SysColor(TSysColor::BtnShadow), SysColor(TSysColor::BtnHighlight));
  else
    DrawFrameLines(p, r, SysColor(TSysColor::BtnHighlight), SysColor(TSysColor::BtnShadow));
}

QRect DrawPushButtonFrame(QPainter& p, const QRect& r, bool pushed) {
  const QColor light = SysColor(TSysColor::BtnHighlight), shadow = SysColor(TSysColor::BtnShadow),
               dark = SysColor(TSysColor::DkShadow);
  if (pushed) {
    DrawFrameLines(p, r, dark, light);
    DrawFrameLines(p, r.adjusted(1, 1, -1, -1), shadow, SysColor(TSysColor::BtnFace));
  } else {
    DrawFrameLines(p, r, light, dark);
    DrawFrameLines(p, r.adjusted(1, 1, -1, -1), SysColor(TSysColor::BtnFace), shadow);
  }
  return r.adjusted(2, 2, -2, -2);
}
