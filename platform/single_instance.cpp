#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <memory>

namespace platform {

namespace {

constexpr qint64 kLongestRequest = 64;

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool SocketAddress(const QByteArray& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
  return true;
}

}  // namespace

// The listening socket and the connections of later starts, on the thread
// that listens. Plain sockets: the program needs no network library for
// this, whose loading alone cost a noticeable part of the start.
class TSingleInstance::TServer : public QObject {
 public:
  TServer(int fd, QByteArray path, std::function<void()> onRaise)
      : fFd(fd), fPath(std::move(path)), fOnRaise(std::move(onRaise)), fNotifier(fd, QSocketNotifier::Read) {
    connect(&fNotifier, &QSocketNotifier::activated, this, [this] { Accept(); });
  }
  ~TServer() override {
    fNotifier.setEnabled(false);
    ::close(fFd);
    ::unlink(fPath.constData());
  }
  void SetOnRaise(std::function<void()> onRaise) { fOnRaise = std::move(onRaise); }

 private:
  // One later start's request; it goes when answered or when it sends more
  // than a request.
  class TConnection : public QObject {
   public:
    TConnection(int fd, TServer* server) : QObject(server), fFd(fd), fNotifier(fd, QSocketNotifier::Read) {
      connect(&fNotifier, &QSocketNotifier::activated, this, [this, server] { Read(*server); });
    }
    ~TConnection() override {
      fNotifier.setEnabled(false);
      ::close(fFd);
    }

   private:
    void Read(TServer& server) {
      char buffer[kLongestRequest + 1];
      const ssize_t n = ::recv(fFd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
      if (n <= 0) return Finish();
      fRequest.append(buffer, n);
      const qsizetype end = fRequest.indexOf('\n');
      if (end < 0) {
        if (fRequest.size() > kLongestRequest) Finish();
        return;
      }
      const bool raise = fRequest.left(end + 1) == TSingleInstance::kRaiseRequest;
      Finish();
      if (raise && server.fOnRaise) server.fOnRaise();
    }
    void Finish() {
      fNotifier.setEnabled(false);
      deleteLater();
    }

    int fFd;
    QSocketNotifier fNotifier;
    QByteArray fRequest;
  };

  void Accept() {
    for (;;) {
      const int fd = ::accept4(fFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) {
        if (errno == EINTR) continue;
        return;
      }
      new TConnection(fd, this);
    }
  }

  int fFd;
  QByteArray fPath;
  std::function<void()> fOnRaise;
  QSocketNotifier fNotifier;
};

TSingleInstance::TSingleInstance(const QString& name, const QString& directory)
    : fName(name), fDirectory(directory) {}

TSingleInstance::~TSingleInstance() {
  // The server goes first: its socket file is removed while we still hold
  // the lock, so nobody mistakes it for a live one.
  fServer.reset();
  if (fLockFd >= 0) {
    // Removed while still held: a later start that opened it meanwhile sees
    // that its lock is on a removed file.
    ::unlink(QFile::encodeName(LockPath()).constData());
    ::close(fLockFd);
  }
}

QString TSingleInstance::LockPath() const { return QDir(fDirectory).filePath(fName + QStringLiteral(".lock")); }

QString TSingleInstance::SocketPath() const { return QDir(fDirectory).filePath(fName + QStringLiteral(".socket")); }

QString TSingleInstance::DefaultDirectory() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (!runtime.isEmpty()) return runtime;
  // A directory of this user's own: in a shared temporary directory another
  // user's lock would otherwise look like a running copy.
  const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("cinvo-runtime-%1").arg(::getuid()));
  QDir().mkpath(own);
  QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return own;
}

TInstanceClaim TSingleInstance::Claim() {
  if (fLockFd >= 0) return TInstanceClaim::First;
  QDir().mkpath(fDirectory);
  // A lock the system holds for the process: it ends with the process,
  // however that ends, so a lock is never stale while its holder runs (a
  // copy may play for hours) and never outlives it. Nothing is written, so
  // nothing waits for the disk at start-up.
  const QByteArray path = QFile::encodeName(LockPath());
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return TInstanceClaim::NoLock;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error != EWOULDBLOCK) return TInstanceClaim::NoLock;
      AskRunningInstanceToRaise(SocketPath(), 1000);
      return TInstanceClaim::Running;
    }
    // A holder ending removes its file: a lock taken on a file removed
    // meanwhile guards nothing, take the one there now.
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      fLockFd = fd;
      return TInstanceClaim::First;
    }
    ::close(fd);
  }
  return TInstanceClaim::NoLock;
}

bool TSingleInstance::Listen(std::function<void()> onRaise) {
  if (fLockFd < 0) return false;
  if (fServer) {
    fServer->SetOnRaise(std::move(onRaise));
    return true;
  }
  const QByteArray path = QFile::encodeName(SocketPath());
  sockaddr_un address;
  if (!SocketAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  // We hold the lock, so a socket file there was left by a copy that died.
  ::unlink(path.constData());
  // Only this user may ask (the directory is normally the user's own too).
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
    ::close(fd);
    ::unlink(path.constData());
    return false;
  }
  fServer = std::make_unique<TServer>(fd, path, std::move(onRaise));
  return true;
}

bool AskRunningInstanceToRaise(const QString& socketPath, int waitMs) {
  sockaddr_un address;
  if (!SocketAddress(QFile::encodeName(socketPath), address)) return false;

  QElapsedTimer timer;
  timer.start();
  for (;;) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A copy that hangs must not hang this start too: bounds connect and send.
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      const bool sent = SendAll(fd, TSingleInstance::kRaiseRequest, std::strlen(TSingleInstance::kRaiseRequest));
      ::close(fd);
      return sent;
    }
    const int error = errno;
    ::close(fd);
    // No socket yet, or not listening yet: the holder may still be starting.
    const bool mayComeUp = error == ENOENT || error == ECONNREFUSED || error == EINTR;
    if (!mayComeUp || timer.elapsed() >= waitMs) return false;
    QThread::msleep(50);
  }
}

}  // namespace platform
