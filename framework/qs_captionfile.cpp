#include "framework/qs_captionfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

bool ReadCaptionFile(const QString& path, QStringList& lines, QString& error) {
  QFile file(path);
  if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
    error = QFileInfo(path).isDir() ? QStringLiteral("it is a directory") : file.errorString();
    return false;
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    error = file.errorString();
    return false;
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(data);
  if (utf8.hasError()) text = QString::fromLatin1(data);  // an older 8-bit file
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
  lines = text.split(breaks);
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the final line break
  return true;
}

void WriteCaptionFile(const QString& path, const QStringList& lines) {
  QByteArray data;
  for (const QString& line : lines) {
    data += line.toUtf8();
    data += "\r\n";
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
    throw EInOutError(QStringLiteral("The language file \"%1\" cannot be written: %2").arg(path, file.errorString()));
}
