#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace platform {

namespace {

QDateTime LocalTime(const struct stat& st) {
  return QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec, Qt::LocalTime)
      .addMSecs(st.st_mtim.tv_nsec / 1000000);
}

DirEntry EntryFromStat(const QString& name, const struct stat& st) {
  DirEntry e;
  e.Name = name;
  e.Directory = S_ISDIR(st.st_mode);
  e.Size = e.Directory ? 0 : static_cast<qint64>(st.st_size);
  e.Time = LocalTime(st);
  e.Hidden = name.startsWith(QLatin1Char('.'));
  return e;
}

}  // namespace

QList<DirEntry> ListDirectory(const QString& dir) {
  QList<DirEntry> result;
  const QByteArray encodedDir = QFile::encodeName(dir);
  DIR* d = ::opendir(encodedDir.constData());
  if (!d) return result;
  const int dirFd = ::dirfd(d);
  while (const dirent* ent = ::readdir(d)) {
    const char* raw = ent->d_name;
    if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
    struct stat st;
    // Follow links; a dangling link is still listed, as a file of size 0.
    if (::fstatat(dirFd, raw, &st, 0) != 0 && ::fstatat(dirFd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    result.append(EntryFromStat(QFile::decodeName(raw), st));
  }
  ::closedir(d);
  return result;
}

std::optional<DirIdentity> DirectoryIdentity(const QString& path) {
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
    return std::nullopt;
  return DirIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<DirEntry> StatEntry(const QString& path) {
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
  QString name = path;
  while (name.size() > 1 && name.endsWith(QLatin1Char('/'))) name.chop(1);
  return EntryFromStat(name.mid(name.lastIndexOf(QLatin1Char('/')) + 1), st);
}

}  // namespace platform

namespace platform {

bool IsWritableDirectory(const QString& dir) {
  if (dir.isEmpty()) return false;
  return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

}  // namespace platform
