#include "platform/atomic_write.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

TWriteShim& Shim() {
  static TWriteShim shim;
  return shim;
}

TFileStamp FromStat(const struct stat& st) {
  TFileStamp s;
  s.Exists = true;
  s.Device = st.st_dev;
  s.Inode = st.st_ino;
  s.Size = st.st_size;
  s.ModifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ChangedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

TWriteFailure FailureOf(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return TWriteFailure::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
      return TWriteFailure::Denied;
    default:
      return TWriteFailure::Other;
  }
}

TWriteResult Failed(int error) {
  return {FailureOf(error), QString::fromLocal8Bit(std::strerror(error)), {}};
}

const QString kTempMark = QStringLiteral(".tmp-");

bool ProcessRuns(qint64 pid) {
  if (pid <= 0 || pid > 0x7fffffff) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The pid a QLockFile wrote as its first line; 0 when unreadable.
qint64 LockFileOwner(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  return file.readLine(32).trimmed().toLongLong();
}

}  // namespace

TFileStamp StampOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
  return FromStat(st);
}

TFileStamp StampOfOpenFile(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return {};
  return FromStat(st);
}

void SetWriteShim(TWriteShim shim) { Shim() = std::move(shim); }

namespace {

QByteArray TempName(const QByteArray& target) {
  return target + QFile::encodeName(kTempMark) + QByteArray::number(::getpid()) + '-' +
         QByteArray::number(QRandomGenerator::global()->generate() & 0xffffff, 36);
}

// Every byte written and on the disk: 0, or why not.
int WriteAndSync(int fd, const QByteArray& data) {
  const char* at = data.constData();
  size_t left = static_cast<size_t>(data.size());
  while (left > 0) {
    const ssize_t n = Shim().Write ? Shim().Write(fd, at, left) : ::write(fd, at, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;  // the device takes nothing more
    at += n;
    left -= static_cast<size_t>(n);
  }
  // Space some file systems only find out about when the data goes out.
  const int synced = Shim().Sync ? Shim().Sync(fd) : ::fsync(fd);
  return synced != 0 && errno != EINVAL ? errno : 0;
}

// Puts the written copy in place and closes it; removes it on failure.
TWriteResult Commit(int fd, const QByteArray& temp, const QByteArray& target, const QByteArray& dir,
                    const TStillCurrent& stillCurrent) {
  const auto fail = [&](TWriteResult result) {
    ::close(fd);
    ::unlink(temp.constData());
    return result;
  };
  // As late as can be: an edit made while the copy was written is not lost.
  if (stillCurrent && !stillCurrent()) return fail({TWriteFailure::Changed, QString(), {}});
  if (::rename(temp.constData(), target.constData()) != 0) return fail(Failed(errno));
  // The version now in place, whoever replaces it next (the rename changed
  // its status time).
  struct stat written {};
  TWriteResult result;
  if (::fstat(fd, &written) == 0) result.Written = FromStat(written);
  // Every byte was synced: a late close error loses nothing.
  ::close(fd);
  // The rename itself reaches the disk with the directory.
  const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return result;
}

// A file the user cannot write is theirs to keep, even though the
// directory would let it be replaced. The superuser may write anything, so
// for them only a file without any write permission counts as read-only.
int RefusedWrite(const QByteArray& target, const struct stat& existing) {
  if (::geteuid() == 0) return (existing.st_mode & 0222) == 0 ? EACCES : 0;
  if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) == 0) return 0;
  return errno == EACCES || errno == EPERM || errno == EROFS ? errno : 0;
}

constexpr int kMaxLinks = 40;  // as the kernel follows them

}  // namespace

QString WriteTarget(const QString& path) {
  QString current = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    QByteArray buffer(PATH_MAX, '\0');
    const ssize_t n = ::readlink(QFile::encodeName(current).constData(), buffer.data(), size_t(buffer.size()));
    if (n < 0 || n >= buffer.size()) return current;  // not a link
    QString next = QFile::decodeName(buffer.left(n));
    if (!next.startsWith(QLatin1Char('/'))) {
      const qsizetype slash = current.lastIndexOf(QLatin1Char('/'));
      if (slash >= 0) next = current.left(slash + 1) + next;
    }
    current = next;
  }
  return current;  // a loop of links: writing to it fails
}

TWriteResult ReplaceFileContents(const QString& path, const QByteArray& data, const TStillCurrent& stillCurrent) {
  const QString targetPath = WriteTarget(path);
  const QByteArray target = QFile::encodeName(targetPath);
  const QByteArray dir = QFile::encodeName(QFileInfo(targetPath).absolutePath());
  struct stat existing {};
  if (::lstat(target.constData(), &existing) == 0 && S_ISLNK(existing.st_mode)) return Failed(ELOOP);
  const bool replacing = ::stat(target.constData(), &existing) == 0;
  if (replacing) {
    if (const int refused = RefusedWrite(target, existing)) return Failed(refused);
  }

  // First as a file without a name, which a writer killed while writing
  // cannot leave behind; it is named only for the rename.
  int fd = ::open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0 && FailureOf(errno) == TWriteFailure::DiskFull) return Failed(errno);
  if (fd >= 0) {
    int error = (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0) ? errno : WriteAndSync(fd, data);
    if (error != 0) {
      ::close(fd);
      return Failed(error);
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < 20; ++attempt) {
      const QByteArray temp = TempName(target);
      if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temp.constData(), AT_SYMLINK_FOLLOW) == 0)
        return Commit(fd, temp, target, dir, stillCurrent);
      error = errno;
      if (error != EEXIST) break;
    }
    ::close(fd);
    fd = -1;
    if (FailureOf(error) != TWriteFailure::Other) return Failed(error);
    // No /proc to name it by: write it again under a name.
  }

  QByteArray temp;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = TempName(target);
    fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt > 20)) return Failed(errno);
  }
  int error = (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0) ? errno : WriteAndSync(fd, data);
  if (error != 0) {
    ::close(fd);
    ::unlink(temp.constData());
    return Failed(error);
  }
  return Commit(fd, temp, target, dir, stillCurrent);
}

int RemoveLeftoverCopies(const QString& path, bool lockHeld) {
  const QFileInfo info(path);
  QDir dir(info.absolutePath());
  const QString name = info.fileName();
  int removed = 0;
  // Compared by hand: the file's own name may hold wildcard characters.
  const QString tempPrefix = name + kTempMark, guardPrefix = name + QStringLiteral(".lock.rmlock");
  for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (entry.startsWith(tempPrefix)) {
      // name.tmp-<pid>-<random>
      const qint64 pid = entry.mid(tempPrefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
      if ((lockHeld || !ProcessRuns(pid)) && dir.remove(entry)) ++removed;
    } else if (entry.startsWith(guardPrefix)) {
      // QLockFile's guards against two removers of a stale lock: each was
      // left by a process killed while holding it.
      if (!ProcessRuns(LockFileOwner(dir.filePath(entry))) && dir.remove(entry)) ++removed;
    }
  }
  return removed;
}

}  // namespace platform
