// Draws every image the windows need, so they can be changed here and
// rebuilt. Usage: make_assets <output directory>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>

#include <cmath>
#include <functional>
#include <cstdio>
#include <jpeglib.h>

namespace {

// One palette for the whole set: a calm blue with a slate outline.
const QColor kTop(0x5B, 0x9B, 0xFA);
const QColor kBottom(0x1F, 0x56, 0xD6);
const QColor kOutline(0x17, 0x33, 0x7A);
const QColor kAccent(0xF5, 0x9E, 0x0B);

QImage Blank(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QBrush Fill(const QRectF& r) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, kTop);
  g.setColorAt(1, kBottom);
  return g;
}

void Shape(QPainter& p, const QPainterPath& path) {
  p.setPen(QPen(kOutline, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Fill(path.boundingRect()));
  p.drawPath(path);
}

QPainterPath Triangle(QPointF a, QPointF b, QPointF c) {
  QPainterPath path;
  path.moveTo(a);
  path.lineTo(b);
  path.lineTo(c);
  path.closeSubpath();
  return path;
}

QImage Glyph(const std::function<void(QPainter&)>& draw) {
  QImage image = Blank(22, 22);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  return image;
}

QImage Stop() {
  return Glyph([](QPainter& p) {
    QPainterPath path;
    path.addRoundedRect(QRectF(5.5, 5.5, 11, 11), 2.5, 2.5);
    Shape(p, path);
  });
}

QImage Pause() {
  return Glyph([](QPainter& p) {
    QPainterPath path;
    path.addRoundedRect(QRectF(5.5, 4.5, 4, 13), 1.5, 1.5);
    path.addRoundedRect(QRectF(12.5, 4.5, 4, 13), 1.5, 1.5);
    Shape(p, path);
  });
}

QImage Start() {
  return Glyph([](QPainter& p) { Shape(p, Triangle({6.5, 4.5}, {17.5, 11}, {6.5, 17.5})); });
}

// Back to the beginning: a bar against a left-pointing play mark.
QImage Restart() {
  return Glyph([](QPainter& p) {
    QPainterPath path;
    path.addRoundedRect(QRectF(4.5, 5.5, 3, 11), 1, 1);
    path.addPath(Triangle({17.5, 5.5}, {8.5, 11}, {17.5, 16.5}));
    Shape(p, path);
  });
}

// The tool bar going down out of sight: an arrow onto a dashed strip.
QImage HideToolbar() {
  return Glyph([](QPainter& p) {
    QPainterPath arrow;
    arrow.addRoundedRect(QRectF(8.5, 2.5, 5, 7), 1, 1);
    arrow.addPath(Triangle({4.5, 9.5}, {17.5, 9.5}, {11, 15.5}));
    Shape(p, arrow.simplified());
    p.setPen(QPen(kOutline, 1.0));
    p.setBrush(QColor(0xEE, 0xF3, 0xFB));
    p.drawRoundedRect(QRectF(2.5, 16.5, 17, 4), 1.5, 1.5);
  });
}

QPainterPath Film(const QRectF& r, double radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

// The program: a film frame with its perforations and a play mark, in a
// 256-unit square.
void PaintIcon(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF frame(16, 28, 224, 200);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 40));
  p.drawPath(Film(frame.translated(0, 6), 36));
  p.setBrush(Fill(frame));
  p.setPen(QPen(kOutline, 4));
  p.drawPath(Film(frame, 36));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 200));
  for (int i = 0; i < 6; ++i) {
    p.drawRoundedRect(QRectF(42 + i * 30, 42, 18, 14), 4, 4);
    p.drawRoundedRect(QRectF(42 + i * 30, 200, 18, 14), 4, 4);
  }
  p.setBrush(QColor(0x0F, 0x27, 0x5E, 200));
  p.drawRoundedRect(QRectF(34, 70, 188, 116), 14, 14);
  p.setBrush(Qt::white);
  p.drawPath(Triangle({108, 92}, {168, 128}, {108, 164}));
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(70, 128), 10, 10);
}

QImage Icon(int size) {
  QImage image = Blank(size, size);
  QPainter p(&image);
  p.scale(size / 256.0, size / 256.0);
  PaintIcon(p);
  return image;
}

// The same drawing as vectors, for the icon theme's "scalable" size.
bool SaveSvgIcon(const QString& path) {
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(QSize(256, 256));
  svg.setViewBox(QRect(0, 0, 256, 256));
  svg.setTitle(QStringLiteral("Cinvo"));
  QPainter p;
  if (!p.begin(&svg)) return false;
  PaintIcon(p);
  return p.end();
}

// The maker: two interlocking chevrons in a soft round tile.
QImage Logo() {
  QImage image = Blank(66, 66);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient tile(QPointF(24, 20), 60);
  tile.setColorAt(0, QColor(0xF8, 0xFA, 0xFF));
  tile.setColorAt(1, QColor(0xD6, 0xE2, 0xF7));
  p.setPen(QPen(QColor(0x9D, 0xB4, 0xE0), 1.5));
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(3, 3, 60, 60), 14, 14);
  QPen stroke(Qt::black, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  stroke.setBrush(Fill(QRectF(12, 16, 42, 34)));
  p.setPen(stroke);
  p.setBrush(Qt::NoBrush);
  QPainterPath v;
  v.moveTo(15, 19);
  v.lineTo(28, 47);
  v.lineTo(41, 19);
  p.drawPath(v);
  stroke.setColor(kAccent);
  stroke.setWidth(6);
  p.setPen(stroke);
  QPainterPath w;
  w.moveTo(37, 33);
  w.lineTo(43, 46);
  w.lineTo(52, 22);
  p.drawPath(w);
  return image;
}

// The foot of the menus' vertical bar.
QImage BarPicture() {
  QImage image = Blank(20, 18);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kOutline, 1));
  p.setBrush(Fill(QRectF(1, 2, 18, 14)));
  p.drawRoundedRect(QRectF(1.5, 2.5, 17, 13), 3, 3);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(Triangle({8, 5.5}, {14, 9}, {8, 12.5}));
  return image;
}

// The dialogs' picture strip: wide enough for any dialog, its left part
// complete on its own because narrow dialogs show only that part.
QImage Band() {
  QImage image(1600, 40, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, 0, 40);
  back.setColorAt(0, QColor(0xF4, 0xF7, 0xFC));
  back.setColorAt(1, QColor(0xD9, 0xE4, 0xF5));
  p.fillRect(image.rect(), back);
  for (int k = 0; k < 3; ++k) {
    QPainterPath wave;
    const double base = 26 + k * 5;
    wave.moveTo(0, base);
    for (int x = 0; x <= 1600; x += 8)
      wave.lineTo(x, base + 4 * std::sin((x + k * 90) / (70.0 + k * 25)));
    wave.lineTo(1600, 40);
    wave.lineTo(0, 40);
    wave.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5B, 0x9B, 0xFA, 22 + k * 10));
    p.drawPath(wave);
  }
  p.setPen(QColor(0xAF, 0xC3, 0xE6));
  p.drawLine(0, 0, 1600, 0);
  p.setPen(Qt::white);
  p.drawLine(0, 1, 1600, 1);
  return image;
}

bool SaveJpeg(const QImage& source, const QString& fileName) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  FILE* out = std::fopen(QFile::encodeName(fileName).constData(), "wb");
  if (!out) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = JDIMENSION(image.width());
  info.image_height = JDIMENSION(image.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 92, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uchar*>(image.constScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_assets <output directory>\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  const auto save = [&](const QImage& image, const char* name) {
    if (image.save(dir + "/" + name, "PNG")) return true;
    std::fprintf(stderr, "make_assets: cannot write %s\n", name);
    return false;
  };
  bool ok = save(Stop(), "stop.png") && save(Pause(), "pause.png") && save(Restart(), "restart.png") &&
            save(Start(), "start.png") && save(HideToolbar(), "hidetoolbar.png") && save(Logo(), "logo.png") &&
            save(BarPicture(), "menubar.png") && save(Icon(256), "cinvo.png");
  // The desktop's icon theme wants the icon at its usual sizes, each drawn
  // at that size rather than scaled from a bitmap.
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
    ok = ok && save(Icon(size), QStringLiteral("icon-%1.png").arg(size).toLatin1().constData());
  if (ok && !SaveSvgIcon(dir + "/icon.svg")) {
    std::fprintf(stderr, "make_assets: cannot write icon.svg\n");
    ok = false;
  }
  if (ok && !SaveJpeg(Band(), dir + "/band.jpg")) {
    std::fprintf(stderr, "make_assets: cannot write band.jpg\n");
    ok = false;
  }
  return ok ? 0 : 1;
}
