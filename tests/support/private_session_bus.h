#pragma once
// A private session bus with a stand-in for the desktop's screen-saver
// service, for tests of holding off idle blanking.
#include <QMutex>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QThread>

// Starts a bus daemon of this test process's own in `daemon`; its address,
// or empty when it could not start.
QString StartPrivateBusDaemon(QProcess& daemon);

// Served from its own thread so blocking calls from the code under test can
// be answered.
class FakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

 public:
  QStringList Calls();
  // Waits (bounded) until at least `count` calls have arrived.
  QStringList WaitForCalls(int count);

 public Q_SLOTS:
  uint Inhibit(const QString& application, const QString& reason);
  void UnInhibit(uint cookie);

 private:
  QMutex fMutex;
  QStringList fCalls;
};

// Starts a session bus for this test process (DBUS_SESSION_BUS_ADDRESS is
// pointed at it) with the fake service on it; must be created before the
// process first uses the session bus.
class PrivateSessionBus {
 public:
  PrivateSessionBus();
  ~PrivateSessionBus();
  bool Ready() const { return fRegistered; }
  FakeScreenSaver& Service() { return fService; }

 private:
  QProcess fDaemon;
  QString fAddress;
  QThread fThread;
  FakeScreenSaver fService;
  bool fRegistered = false;
};
