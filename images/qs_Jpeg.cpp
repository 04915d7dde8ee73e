#include "images/qs_Jpeg.h"

#include <QFile>
#include <QPainter>

#include <csetjmp>
#include <cstdio>
// libjpeg's header needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

// Pictures this large are not pictures of ours; refusing them keeps a
// damaged header from asking for gigabytes.
constexpr JDIMENSION kMaxSide = 16384;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings are where libjpeg reports corrupt or missing data while going on
// with grey filler; a half-grey picture shown as fine would hide the fault.
void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace messages
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, err->message);
  std::longjmp(err->jump, 1);
}

}  // namespace

bool LooksLikeJpeg(const QByteArray& data) {
  return data.size() >= 3 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xD8 && uchar(data[2]) == 0xFF;
}

QImage DecodeJpeg(const QByteArray& data) {
  if (!LooksLikeJpeg(data)) throw EInvalidGraphic(QStringLiteral("The data is not a JPEG picture."));
  jpeg_decompress_struct info;
  ErrorManager err;
  info.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.emit_message = OnMessage;
  err.message[0] = 0;
  // Only plain data lives across the jump; the image is made before it.
  QImage* volatile image = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    delete image;
    throw EInvalidGraphic(QStringLiteral("The JPEG picture is damaged or incomplete: %1").arg(QString::fromLocal8Bit(err.message)));
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxSide ||
      info.output_height > kMaxSide || info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    throw EInvalidGraphic(QStringLiteral("The JPEG picture has an unsupported size or colour layout."));
  }
  image = new QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
  if (image->isNull()) {
    jpeg_destroy_decompress(&info);
    delete image;
    throw EInvalidGraphic(QStringLiteral("Not enough memory for the JPEG picture."));
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image->scanLine(int(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  QImage result = image->convertToFormat(QImage::Format_RGB32);
  delete image;
  return result;
}

void TJPEGImage::LoadFromData(const QByteArray& data) { fImage = DecodeJpeg(data); }

void TJPEGImage::LoadFromFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    throw EInvalidGraphic(QStringLiteral("Cannot read the picture \"%1\": %2").arg(fileName, file.errorString()));
  try {
    LoadFromData(file.readAll());
  } catch (const EInvalidGraphic& e) {
    throw EInvalidGraphic(QStringLiteral("\"%1\": %2").arg(fileName, e.Message()));
  }
}

void TJPEGImage::Draw(QPainter& painter, const QRect& dest) const {
  if (fImage.isNull() || dest.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, dest.size() != fImage.size());
  painter.drawImage(dest, fImage);
  painter.restore();
}
