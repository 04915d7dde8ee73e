#include "framework/qs_captionfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include "platform/atomic_write.h"

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
  // Editors that add a byte-order mark to a file that has one stack them;
  // none of them belongs to the first key.
  QByteArrayView bytes(data);
  while (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);  // an older 8-bit file
  qsizetype marks = 0;
  while (marks < text.size() && text[marks] == QChar(0xFEFF)) ++marks;
  text.remove(0, marks);
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
  const platform::TWriteResult written = platform::ReplaceFileContents(path, data);
  if (written.Failure == platform::TWriteFailure::DiskFull)
    throw EInOutError(QStringLiteral("There is not enough space on the disk to write the language file \"%1\". "
                                     "The previous file was kept.")
                          .arg(path));
  if (!written.Ok())
    throw EInOutError(QStringLiteral("The language file \"%1\" cannot be written: %2").arg(path, written.Error));
}
