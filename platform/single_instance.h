#pragma once
// One running copy per program file name. A lock file in the user's runtime
// directory says which copy runs (a lock left by a crashed or killed process
// is recognised by its process id and taken over); a local socket beside it
// lets a later start ask the running copy to bring its window forward.
#include <QString>

#include <functional>
#include <memory>

namespace platform {

enum class TInstanceClaim {
  First,    // this process holds the lock
  Running,  // a live process holds it and has been asked to come forward
  NoLock,   // no lock can be made here; the process runs unguarded
};

class TSingleInstance {
 public:
  // `name` is the program file's name without extension; `directory` the
  // place of the lock and the socket.
  explicit TSingleInstance(const QString& name, const QString& directory = DefaultDirectory());
  // Stops listening and releases the lock.
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // Takes the lock, or asks its holder to come forward. Needs no
  // application object.
  TInstanceClaim Claim();
  // In the process holding the lock, once the application object exists:
  // every request of a later start runs `onRaise` on this thread. False when
  // the socket cannot be set up (later starts then only end).
  bool Listen(std::function<void()> onRaise);

  QString LockPath() const;
  QString SocketPath() const;

  // The user's runtime directory, else the temporary directory.
  static QString DefaultDirectory();
  // What a later start sends through the socket.
  static constexpr char kRaiseRequest[] = "raise\n";

 private:
  QString fName;
  QString fDirectory;
  int fLockFd = -1;  // holds the lock while open
  class TServer;
  std::unique_ptr<TServer> fServer;
};

// Connects to the socket at `socketPath` and sends the raise request; waits
// up to `waitMs` for a holder that is still starting to listen. False when
// nobody answers.
bool AskRunningInstanceToRaise(const QString& socketPath, int waitMs);

}  // namespace platform
