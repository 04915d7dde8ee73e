#include "platform/file_lock.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr off_t kTurnstileByte = 0;
constexpr off_t kDataByte = 1;

long long NowMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SleepUs(long us) {
  timespec ts{us / 1000000, (us % 1000000) * 1000};
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace

TFileLock::TFileLock(QString lockPath) : fPath(std::move(lockPath)) {}

TFileLock::~TFileLock() { Unlock(); }

void TFileLock::Fail(int error) {
  fErrorCode = error;
  fError = QString::fromLocal8Bit(std::strerror(error));
}

TFileLock::Result TFileLock::Acquire(off_t byte, long long deadlineMs) {
  long waitUs = 500;
  for (;;) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    if (::fcntl(fFd, F_OFD_SETLK, &fl) == 0) return Result::Locked;
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EAGAIN && error != EACCES) {
      Fail(error);
      return (error == EINVAL || error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS) ? Result::Unsupported
                                                                                         : Result::Failed;
    }
    if (NowMs() >= deadlineMs) {
      Fail(EWOULDBLOCK);
      return Result::TimedOut;
    }
    // Polling is fair enough: the turnstile decides who goes next, this
    // only bounds how late the waiter notices.
    SleepUs(waitUs);
    waitUs = std::min(waitUs * 2, 8000L);
  }
}

void TFileLock::Release(off_t byte) {
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  ::fcntl(fFd, F_OFD_SETLK, &fl);
}

TFileLock::Result TFileLock::Lock(int timeoutMs) {
  if (fHeld) return Result::Locked;
  if (fFd < 0) {
    fFd = ::open(QFile::encodeName(fPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fFd < 0) {
      Fail(errno);
      return Result::Failed;
    }
  }
  const long long deadline = NowMs() + std::max(timeoutMs, 0);
  Result r = Acquire(kTurnstileByte, deadline);
  if (r != Result::Locked) {
    Unlock();
    return r;
  }
  r = Acquire(kDataByte, deadline);
  Release(kTurnstileByte);
  if (r != Result::Locked) {
    Unlock();
    return r;
  }
  fHeld = true;
  return r;
}

void TFileLock::Unlock() {
  // Closing the only descriptor of this open file drops both bytes.
  if (fFd >= 0) ::close(fFd);
  fFd = -1;
  fHeld = false;
}

}  // namespace platform
