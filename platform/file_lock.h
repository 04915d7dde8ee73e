#pragma once
// A lock that processes sharing a file take in turns before replacing it.
#include <QString>

namespace platform {

// Kept in its own file beside the data (created when missing, never
// removed). The lock belongs to the open file, so the kernel drops it when
// its holder dies: a killed writer never leaves a stale lock behind. A
// second byte works as a turnstile: a process that waits gets the lock
// before the holder can take it again, so two busy writers alternate.
class TFileLock {
 public:
  enum class Result { Locked, Unsupported, TimedOut, Failed };

  explicit TFileLock(QString lockPath);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  // Waits at most `timeoutMs`. Unsupported: the file system has no such
  // locks (the caller may go on unlocked). Failed: the lock file cannot be
  // opened; Error() says why, ErrorCode() gives the errno.
  Result Lock(int timeoutMs);
  void Unlock();
  bool Held() const { return fHeld; }
  const QString& Error() const { return fError; }
  int ErrorCode() const { return fErrorCode; }

 private:
  Result Acquire(off_t byte, long long deadlineMs);
  void Release(off_t byte);
  void Fail(int error);

  QString fPath;
  int fFd = -1;
  bool fHeld = false;
  QString fError;
  int fErrorCode = 0;
};

}  // namespace platform
