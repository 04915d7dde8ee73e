#pragma once
// What a name stands for, and whether it can be read, found without waiting
// on it: opening a named pipe that nobody writes to, or some devices, waits
// for ever.
#include <QByteArray>
#include <QString>

namespace platform {

enum class TFileKind { Missing, Regular, Directory, NamedPipe, Socket, Device, Other };

struct TFileCheck {
  TFileKind Kind = TFileKind::Missing;
  QString Error;       // why it could not be looked at or read; empty when it could
  bool Empty = false;  // a readable regular file with nothing in it
};

// Follows links. Only a regular file is opened, without waiting, and its
// first byte read.
TFileCheck CheckReadableFile(const QByteArray& path);

// Why what is not a regular file is no movie file, as a sentence.
QString WhyNoMovieFile(TFileKind kind);

}  // namespace platform
