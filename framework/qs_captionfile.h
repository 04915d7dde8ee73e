#pragma once
// Reading and writing language files: key=value lines, UTF-8 (a file that
// is not valid UTF-8 is read as Latin-1), written with CR LF.
#include <QString>
#include <QStringList>

#include "framework/qs_exception.h"

// A language file that could not be written.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

// The file's lines, whatever line breaks it uses. False, with `error` set,
// when it cannot be read.
bool ReadCaptionFile(const QString& path, QStringList& lines, QString& error);
// Replaces the file with `lines` in one step: a failed write leaves the
// previous file whole. Raises EInOutError on failure.
void WriteCaptionFile(const QString& path, const QStringList& lines);
