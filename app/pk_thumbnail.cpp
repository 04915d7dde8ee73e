#include "app/pk_thumbnail.h"

#include <QFile>
#include <QUrl>

#include <cstdio>
#include <cstring>

#include "platform/atomic_write.h"
#include "platform/thumbnail_cache.h"
#include "viewer/movie_frame.h"

namespace {

const char kOption[] = "--thumbnail";
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Fail(int code, const QString& message) {
  std::fprintf(stderr, "cinvo: %s\n", message.toLocal8Bit().constData());
  return code;
}

// File managers give a path (%i); a file URI (%u) is taken as well.
QString InputPath(const char* argument) {
  const QString text = QFile::decodeName(argument);
  if (text.startsWith(QLatin1String("file:"))) return QUrl(text).toLocalFile();
  return text;
}

}  // namespace

bool IsThumbnailCommand(int argc, char** argv) { return argc > 1 && std::strcmp(argv[1], kOption) == 0; }

int RunThumbnailCommand(int argc, char** argv) {
  if (argc != 5) return Fail(kUsage, QStringLiteral("usage: cinvo --thumbnail MOVIE OUTPUT.png SIZE"));
  const QString movie = InputPath(argv[2]);
  const QString output = QFile::decodeName(argv[3]);
  bool number = false;
  const int size = QString::fromLatin1(argv[4]).toInt(&number);
  if (!number || size <= 0) return Fail(kUsage, QStringLiteral("the size must be a positive number of pixels"));

  QString error;
  const QImage frame = PreviewFrameOf(movie, size, &error);
  if (frame.isNull()) return Fail(kFailed, QStringLiteral("%1: %2").arg(movie, error));
  const QByteArray png = platform::ThumbnailPng(movie, frame);
  if (png.isEmpty()) return Fail(kFailed, QStringLiteral("%1: the picture cannot be encoded").arg(output));
  const platform::TWriteResult written = platform::ReplaceFileContents(output, png);
  if (!written.Ok()) return Fail(kFailed, QStringLiteral("%1: %2").arg(output, written.Error));
  return 0;
}
