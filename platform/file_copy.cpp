#include "platform/file_copy.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Large blocks keep a multi-GB copy near the disk's speed.
constexpr std::size_t kBlock = 8 * 1024 * 1024;

class Fd {
 public:
  explicit Fd(int fd = -1) : fFd(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fFd; }
  bool Close() {
    if (fFd < 0) return true;
    const int r = ::close(fFd);
    fFd = -1;
    return r == 0;
  }

 private:
  int fFd;
};

QString ErrorText(const QString& what, const QString& path, int error) {
  return QStringLiteral("%1 \"%2\": %3").arg(what, path, QString::fromLocal8Bit(std::strerror(error)));
}

bool WriteAll(int fd, const char* data, std::size_t size, std::int64_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= std::size_t(n);
    offset += n;
  }
  return true;
}

// Copies [from, to) at the same offsets; the kernel copies when it can.
// Returns 0 or an errno; stops early when cancelled.
int CopyRange(int in, int out, std::int64_t from, std::int64_t to, char* buffer, bool& kernelCopy,
              CopyProgress& progress) {
  std::int64_t pos = from;
  while (pos < to && !progress.Cancel) {
    const std::size_t want = std::size_t(std::min<std::int64_t>(kBlock, to - pos));
    if (kernelCopy) {
      loff_t inOff = pos, outOff = pos;
      const ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, want, 0);
      if (n > 0) {
        pos += n;
        progress.Done = pos;
        continue;
      }
      if (n == 0) return EIO;  // the source shrank under us
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return errno;
      kernelCopy = false;
    }
    const ssize_t n = ::pread(in, buffer, want, pos);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    if (!WriteAll(out, buffer, std::size_t(n), pos)) return errno;
    pos += n;
    progress.Done = pos;
  }
  return 0;
}

// Sources without a known size (pipes, devices): read until the end.
int CopyStream(int in, int out, char* buffer, CopyProgress& progress) {
  std::int64_t pos = 0;
  while (!progress.Cancel) {
    const ssize_t n = ::read(in, buffer, kBlock);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    if (!WriteAll(out, buffer, std::size_t(n), pos)) return errno;
    pos += n;
    progress.Done = pos;
  }
  return 0;
}

// A regular file, hole by hole: only the data parts are copied.
int CopyRegular(int in, int out, std::int64_t size, char* buffer, CopyProgress& progress) {
  bool kernelCopy = true;
  std::int64_t pos = 0;
  while (pos < size && !progress.Cancel) {
    off_t data = ::lseek(in, pos, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;  // only a hole is left
      data = pos;                 // no hole support: all data
    }
    off_t hole = ::lseek(in, data, SEEK_HOLE);
    if (hole < 0 || hole > size) hole = size;
    if (const int error = CopyRange(in, out, data, hole, buffer, kernelCopy, progress)) return error;
    pos = hole;
  }
  if (!progress.Cancel && ::ftruncate(out, size) != 0) return errno;
  return 0;
}

}  // namespace

CopyResult CopyFileContents(const QString& source, const QString& target, CopyProgress& progress) {
  const QByteArray sourcePath = QFile::encodeName(source);
  Fd in(::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC));
  if (in.Get() < 0) return {CopyOutcome::Failed, ErrorText(QStringLiteral("Cannot read"), source, errno)};
  struct stat st {};
  if (::fstat(in.Get(), &st) != 0) return {CopyOutcome::Failed, ErrorText(QStringLiteral("Cannot read"), source, errno)};
  if (S_ISDIR(st.st_mode)) return {CopyOutcome::Failed, ErrorText(QStringLiteral("Cannot copy"), source, EISDIR)};
  const bool regular = S_ISREG(st.st_mode);
  progress.Total = regular ? std::int64_t(st.st_size) : -1;
  progress.Done = 0;

  const QFileInfo targetInfo(target);
  QByteArray temp = QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName() +
                                      QStringLiteral(".part-XXXXXX"));
  Fd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.Get() < 0) return {CopyOutcome::Failed, ErrorText(QStringLiteral("Cannot write"), target, errno)};

  auto fail = [&](int error) -> CopyResult {
    out.Close();
    ::unlink(temp.constData());
    return {CopyOutcome::Failed, ErrorText(QStringLiteral("Cannot copy to"), target, error)};
  };

  std::unique_ptr<char[]> buffer(new char[kBlock]);
  const int error = regular ? CopyRegular(in.Get(), out.Get(), st.st_size, buffer.get(), progress)
                            : CopyStream(in.Get(), out.Get(), buffer.get(), progress);
  if (error) return fail(error);
  if (progress.Cancel) {
    out.Close();
    ::unlink(temp.constData());
    return {CopyOutcome::Cancelled, QString()};
  }
  // The owner keeps write access, so a copy from a read-only disc can be
  // replaced or removed later.
  ::fchmod(out.Get(), (st.st_mode & 07777 & ~(S_ISUID | S_ISGID)) | S_IRUSR | S_IWUSR);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(out.Get(), times);
  // On disk before the name changes, so a crash leaves the old file or the
  // whole new one.
  if (::fdatasync(out.Get()) != 0 && errno != EINVAL) return fail(errno);
  if (!out.Close()) return fail(errno);
  if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0) return fail(errno);
  progress.Done = progress.Total > 0 ? progress.Total.load() : progress.Done.load();
  return {CopyOutcome::Copied, QString()};
}

}  // namespace platform
