#include "platform/thumbnail_cache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "platform/atomic_write.h"

namespace platform {

namespace {

constexpr int kLarge = 256;

QString CacheRoot() {
  QString base = qEnvironmentVariable("XDG_CACHE_HOME");
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.cache");
  return base + QStringLiteral("/thumbnails/");
}

QString SizeClass(int size) {
  if (size <= 128) return QStringLiteral("normal");
  if (size <= 256) return QStringLiteral("large");
  if (size <= 512) return QStringLiteral("x-large");
  return QStringLiteral("xx-large");
}

// Whole seconds, as the cache's readers compare them.
QString ModificationTime(const QString& fileName) {
  return QString::number(QFileInfo(fileName).lastModified().toSecsSinceEpoch());
}

}  // namespace

QString ThumbnailUri(const QString& fileName) {
  return QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()).toEncoded());
}

QString ThumbnailCacheFile(const QString& fileName, int size) {
  const QByteArray hash = QCryptographicHash::hash(ThumbnailUri(fileName).toUtf8(), QCryptographicHash::Md5).toHex();
  return CacheRoot() + SizeClass(size) + QLatin1Char('/') + QString::fromLatin1(hash) + QStringLiteral(".png");
}

QByteArray ThumbnailPng(const QString& fileName, const QImage& image) {
  QImage tagged = image;
  tagged.setText(QStringLiteral("Thumb::URI"), ThumbnailUri(fileName));
  tagged.setText(QStringLiteral("Thumb::MTime"), ModificationTime(fileName));
  tagged.setText(QStringLiteral("Thumb::Size"), QString::number(QFileInfo(fileName).size()));
  tagged.setText(QStringLiteral("Software"), QStringLiteral("Cinvo"));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!tagged.save(&buffer, "PNG")) return {};
  return png;
}

QString PngText(const QString& png, const QString& key) {
  // The toolkit's reader splits keys at ':', so the chunks are read here:
  // signature, then length, type, data and checksum per chunk; text chunks
  // come before the picture data.
  QFile file(png);
  if (!file.open(QIODevice::ReadOnly) || file.read(8) != QByteArray("\x89PNG\r\n\x1a\n", 8)) return {};
  const QByteArray wanted = key.toLatin1() + '\0';
  for (;;) {
    const QByteArray head = file.read(8);
    if (head.size() != 8) return {};
    const quint32 length = (quint32(uchar(head[0])) << 24) | (quint32(uchar(head[1])) << 16) |
                           (quint32(uchar(head[2])) << 8) | quint32(uchar(head[3]));
    const QByteArray type = head.mid(4, 4);
    if (type == "IDAT" || type == "IEND" || length > (1u << 20)) return {};
    const QByteArray data = file.read(length);
    if (data.size() != qsizetype(length) || file.read(4).size() != 4) return {};
    if (!data.startsWith(wanted)) continue;
    QByteArray rest = data.mid(wanted.size());
    if (type == "tEXt") return QString::fromLatin1(rest);
    // Longer texts are written compressed (zTXt), or as UTF-8 (iTXt: two
    // flags, then a language and a translated key before the text).
    bool compressed = type == "zTXt";
    if (type == "iTXt") {
      if (rest.size() < 2) return {};
      compressed = rest[0] != 0;
      rest = rest.mid(2);
      for (int i = 0; i < 2; ++i) rest = rest.mid(rest.indexOf('\0') + 1);
    } else if (compressed) {
      rest = rest.mid(1);  // the compression method
    } else {
      continue;
    }
    if (compressed) rest = qUncompress(QByteArray("\0\0\x10\0", 4) + rest);  // with a size hint
    return type == "iTXt" ? QString::fromUtf8(rest) : QString::fromLatin1(rest);
  }
}

QString CachedThumbnail(const QString& fileName) {
  if (!QFileInfo(fileName).isFile()) return {};
  for (const int size : {kLarge, 128}) {
    const QString path = ThumbnailCacheFile(fileName, size);
    if (PngText(path, QStringLiteral("Thumb::URI")) == ThumbnailUri(fileName) &&
        PngText(path, QStringLiteral("Thumb::MTime")) == ModificationTime(fileName))
      return path;
  }
  return {};
}

bool StoreThumbnail(const QString& fileName, const QImage& image) {
  const QString path = ThumbnailCacheFile(fileName, kLarge);
  const QByteArray png = ThumbnailPng(fileName, image);
  if (png.isEmpty()) return false;
  // The cache shows what the user has looked at: theirs alone.
  const QString dir = QFileInfo(path).absolutePath();
  for (const QString& made : {CacheRoot(), dir}) {
    if (QFileInfo::exists(made)) continue;
    if (!QDir().mkpath(made)) return false;
    QFile::setPermissions(made, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  if (!ReplaceFileContents(path, png).Ok()) return false;
  return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace platform
