#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QMutex>
#include <QProcess>
#include <QThread>

#include "framework/qs_tools.h"
#include "platform/session_inhibit.h"
#include "tests/support/test_env.h"

// A stand-in for the desktop's screen-saver service, served from its own
// thread so the blocking call from the code under test can be answered.
class FakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

 public:
  QStringList Calls() {
    QMutexLocker lock(&fMutex);
    return fCalls;
  }

 public Q_SLOTS:
  uint Inhibit(const QString& application, const QString& reason) {
    QMutexLocker lock(&fMutex);
    fCalls << QStringLiteral("Inhibit %1").arg(reason);
    return 4711;
  }
  void UnInhibit(uint cookie) {
    QMutexLocker lock(&fMutex);
    fCalls << QStringLiteral("UnInhibit %1").arg(cookie);
  }

 private:
  QMutex fMutex;
  QStringList fCalls;
};

namespace {

// A private session bus for this test process, with the fake service on it.
class PrivateSessionBus {
 public:
  PrivateSessionBus() {
    fDaemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!fDaemon.waitForStarted(5000) || !fDaemon.waitForReadyRead(5000)) return;
    fAddress = QString::fromUtf8(fDaemon.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", fAddress.toUtf8());
    fThread.start();
    fService.moveToThread(&fThread);
    QDBusConnection bus = QDBusConnection::connectToBus(fAddress, "fake-service");
    fRegistered = bus.registerService("org.freedesktop.ScreenSaver") &&
                  bus.registerObject("/org/freedesktop/ScreenSaver", &fService, QDBusConnection::ExportAllSlots);
  }
  ~PrivateSessionBus() {
    QDBusConnection::disconnectFromBus("fake-service");
    fThread.quit();
    fThread.wait();
    fDaemon.kill();
    fDaemon.waitForFinished(5000);
  }
  bool Ready() const { return fRegistered; }
  FakeScreenSaver& Service() { return fService; }

 private:
  QProcess fDaemon;
  QString fAddress;
  QThread fThread;
  FakeScreenSaver fService;
  bool fRegistered = false;
};

}  // namespace

TEST(SessionInhibit, HoldsOffIdleBlankingOnceAndGivesTheSameHoldBack) {
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  EXPECT_TRUE(platform::InhibitSessionIdle("Playing a movie"));
  EXPECT_TRUE(platform::SessionIdleInhibited());
  EXPECT_FALSE(platform::InhibitSessionIdle("Playing a movie"));  // held already
  EXPECT_TRUE(platform::ReleaseSessionIdle());
  EXPECT_FALSE(platform::ReleaseSessionIdle());
  // The release is sent without waiting: give the service time to see it.
  for (QDeadlineTimer deadline(5000); bus.Service().Calls().size() < 2 && !deadline.hasExpired();)
    QThread::msleep(10);
  EXPECT_EQ(bus.Service().Calls(), QStringList({"Inhibit Playing a movie", "UnInhibit 4711"}));
}

TEST(SessionInhibit, TheScreenSaverSwitchesUseTheSessionWithoutAnXServer) {
  qunsetenv("DISPLAY");
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  EXPECT_TRUE(DisableScreenSaver());  // the session's blanking was on and is now held off
  EXPECT_FALSE(DisableScreenSaver());
  EXPECT_TRUE(EnableScreenSaver());
  EXPECT_FALSE(platform::SessionIdleInhibited());
}

TEST(SessionInhibit, NoSessionBusMeansNothingIsHeldAndNoBusIsStarted) {
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("XDG_RUNTIME_DIR", testenv::NewTempDir("runtime").toLocal8Bit());
  EXPECT_FALSE(platform::InhibitSessionIdle("Playing a movie"));
  EXPECT_FALSE(platform::ReleaseSessionIdle());
}

#include "test_session_inhibit.moc"
