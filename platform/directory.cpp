#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <QFile>

namespace platform {

namespace {

DirEntry EntryFromStat(const QString& name, const struct stat& st) {
  DirEntry e;
  e.Name = name;
  e.Directory = S_ISDIR(st.st_mode);
  e.Size = e.Directory ? 0 : static_cast<qint64>(st.st_size);
  e.ModifiedSecs = static_cast<qint64>(st.st_mtim.tv_sec);
  e.ModifiedNsecs = static_cast<qint32>(st.st_mtim.tv_nsec);
  e.Hidden = name.startsWith(QLatin1Char('.'));
  return e;
}

// The C library reads the time zone once and then only when asked to: ask
// once per listing, so a zone changed while the program runs is followed
// from the next listing on without a check per entry.
void FollowTimeZone() { ::tzset(); }

}  // namespace

QDateTime DirEntry::Time() const {
  return QDateTime::fromSecsSinceEpoch(ModifiedSecs, Qt::LocalTime).addMSecs(ModifiedNsecs / 1000000);
}

LocalClock DirEntry::LocalModified() const {
  const std::time_t secs = static_cast<std::time_t>(ModifiedSecs);
  std::tm local{};
  if (!::localtime_r(&secs, &local)) return {};
  // A leap second reads as the last second of its minute.
  return {QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
          QTime(local.tm_hour, local.tm_min, qMin(local.tm_sec, 59))};
}

QList<DirEntry> ListDirectory(const QString& dir) {
  QList<DirEntry> result;
  FollowTimeZone();
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
  FollowTimeZone();
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
