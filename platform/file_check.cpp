#include "platform/file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

TFileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return TFileKind::Regular;
  if (S_ISDIR(mode)) return TFileKind::Directory;
  if (S_ISFIFO(mode)) return TFileKind::NamedPipe;
  if (S_ISSOCK(mode)) return TFileKind::Socket;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return TFileKind::Device;
  return TFileKind::Other;
}

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

TFileCheck CheckReadableFile(const QByteArray& path) {
  TFileCheck check;
  struct stat st {};
  if (::stat(path.constData(), &st) != 0) {
    check.Error = ErrorText(errno);
    return check;
  }
  check.Kind = KindOf(st.st_mode);
  if (check.Kind != TFileKind::Regular) return check;
  // Without waiting: the name may have been given to a pipe since.
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    check.Error = ErrorText(errno);
    return check;
  }
  if (::fstat(fd, &st) == 0) check.Kind = KindOf(st.st_mode);
  if (check.Kind == TFileKind::Regular) {
    char byte;
    ssize_t n;
    do {
      n = ::read(fd, &byte, 1);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
      check.Error = ErrorText(errno);
    else
      check.Empty = n == 0;
  }
  ::close(fd);
  return check;
}

QString WhyNoMovieFile(TFileKind kind) {
  switch (kind) {
    case TFileKind::Directory:
      return QStringLiteral("It is a folder, not a movie file.");
    case TFileKind::NamedPipe:
      return QStringLiteral("It is a named pipe, not a movie file.");
    case TFileKind::Socket:
      return QStringLiteral("It is a socket, not a movie file.");
    case TFileKind::Device:
      return QStringLiteral("It is a device, not a movie file.");
    default:
      return QStringLiteral("It is not a plain file.");
  }
}

}  // namespace platform
