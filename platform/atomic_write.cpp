#include "platform/atomic_write.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
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
  return {FailureOf(error), QString::fromLocal8Bit(std::strerror(error))};
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

TWriteResult ReplaceFileContents(const QString& path, const QByteArray& data) {
  const QByteArray target = QFile::encodeName(path);
  QByteArray temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = target + QFile::encodeName(kTempMark) + QByteArray::number(::getpid()) + '-' +
           QByteArray::number(QRandomGenerator::global()->generate() & 0xffffff, 36);
    fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt > 20)) return Failed(errno);
  }
  const auto fail = [&](int error) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.constData());
    return Failed(error);
  };

  struct stat existing {};
  if (::stat(target.constData(), &existing) == 0 && ::fchmod(fd, existing.st_mode & 07777) != 0) return fail(errno);

  const char* at = data.constData();
  size_t left = static_cast<size_t>(data.size());
  while (left > 0) {
    const ssize_t n = Shim().Write ? Shim().Write(fd, at, left) : ::write(fd, at, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    if (n == 0) return fail(ENOSPC);  // the device takes nothing more
    at += n;
    left -= static_cast<size_t>(n);
  }
  // Space some file systems only find out about when the data goes out.
  const int synced = Shim().Sync ? Shim().Sync(fd) : ::fsync(fd);
  if (synced != 0 && errno != EINVAL) return fail(errno);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0 && errno != EINTR) return fail(errno);
  if (::rename(temp.constData(), target.constData()) != 0) return fail(errno);

  // The rename itself reaches the disk with the directory.
  const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
  const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

int RemoveLeftoverCopies(const QString& path, bool lockHeld) {
  const QFileInfo info(path);
  QDir dir(info.absolutePath());
  const QString name = info.fileName();
  int removed = 0;
  const QStringList temps = dir.entryList({name + kTempMark + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& temp : temps) {
    // name.tmp-<pid>-<random>
    const QString rest = temp.mid(name.size() + kTempMark.size());
    const qint64 pid = rest.section(QLatin1Char('-'), 0, 0).toLongLong();
    if ((lockHeld || !ProcessRuns(pid)) && dir.remove(temp)) ++removed;
  }
  // QLockFile's guards against two removers of a stale lock: each was left
  // by a process killed while holding it.
  const QStringList guards = dir.entryList({name + QStringLiteral(".lock.rmlock*")}, QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& guard : guards)
    if (!ProcessRuns(LockFileOwner(dir.filePath(guard))) && dir.remove(guard)) ++removed;
  return removed;
}

}  // namespace platform
