#pragma once
// A private stand-in for the system bus with a fake login manager on it,
// for tests of holding off the machine's idle suspend.
#include <QList>
#include <QMutex>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QtDBus/QDBusUnixFileDescriptor>

// Hands out inhibitor locks as the login manager does: the caller gets one
// end of a pipe, and the lock lasts until every copy of it is closed.
class FakeLogin1 : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

 public:
  ~FakeLogin1() override;
  // "what who why mode" of every Inhibit call.
  QStringList Calls();
  // Locks handed out whose holder still keeps them.
  int HeldLocks();
  // Waits (bounded) until HeldLocks() is `count`.
  bool WaitForHeld(int count);

 public Q_SLOTS:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode);

 private:
  QMutex fMutex;
  QStringList fCalls;
  QList<int> fOurEnds;
};

// Starts a bus for this test process and points DBUS_SYSTEM_BUS_ADDRESS at
// it (the program under test inherits it); with `withLogin1` false the bus
// has no login manager. Must be created before the process first uses the
// system bus.
class PrivateSystemBus {
 public:
  explicit PrivateSystemBus(bool withLogin1 = true);
  ~PrivateSystemBus();
  bool Ready() const { return fReady; }
  FakeLogin1& Login1() { return fLogin1; }

 private:
  QProcess fDaemon;
  QThread fThread;
  FakeLogin1 fLogin1;
  bool fReady = false;
  bool fRegistered = false;
};
