#pragma once
// The one base of the program's own exceptions: a message for the user.
#include <QString>

#include <exception>

class Exception : public std::exception {
 public:
  explicit Exception(QString message) : fMessage(std::move(message)), fUtf8(fMessage.toUtf8()) {}
  const QString& Message() const { return fMessage; }
  const char* what() const noexcept override { return fUtf8.constData(); }

 private:
  QString fMessage;
  QByteArray fUtf8;
};

// A message about one file: the message as it stands, then the file's name
// on a line of its own, so the user knows which file is meant.
inline QString FileMessage(const QString& message, const QString& fileName) {
  return message + QLatin1Char('\n') + fileName;
}
