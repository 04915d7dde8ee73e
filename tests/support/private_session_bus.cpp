#include "tests/support/private_session_bus.h"

#include <QDBusConnection>
#include <QDeadlineTimer>

QStringList FakeScreenSaver::Calls() {
  QMutexLocker lock(&fMutex);
  return fCalls;
}

QStringList FakeScreenSaver::WaitForCalls(int count) {
  // Some calls are sent without waiting for an answer.
  for (QDeadlineTimer deadline(5000); Calls().size() < count && !deadline.hasExpired();) QThread::msleep(10);
  return Calls();
}

uint FakeScreenSaver::Inhibit(const QString&, const QString& reason) {
  QMutexLocker lock(&fMutex);
  fCalls << QStringLiteral("Inhibit %1").arg(reason);
  return 4711;
}

void FakeScreenSaver::UnInhibit(uint cookie) {
  QMutexLocker lock(&fMutex);
  fCalls << QStringLiteral("UnInhibit %1").arg(cookie);
}

QString StartPrivateBusDaemon(QProcess& daemon) {
  daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
  if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) return QString();
  return QString::fromUtf8(daemon.readLine()).trimmed();
}

PrivateSessionBus::PrivateSessionBus() {
  fAddress = StartPrivateBusDaemon(fDaemon);
  if (fAddress.isEmpty()) return;
  qputenv("DBUS_SESSION_BUS_ADDRESS", fAddress.toUtf8());
  fThread.start();
  fService.moveToThread(&fThread);
  QDBusConnection bus = QDBusConnection::connectToBus(fAddress, QStringLiteral("fake-service"));
  fRegistered = bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")) &&
                bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &fService,
                                   QDBusConnection::ExportAllSlots);
}

PrivateSessionBus::~PrivateSessionBus() {
  // The connection's thread watches the registered service object: it lets
  // go of it before the object goes, not while the object is destroyed.
  {
    QDBusConnection bus(QStringLiteral("fake-service"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("fake-service"));
  fThread.quit();
  fThread.wait();
  fDaemon.kill();
  fDaemon.waitForFinished(5000);
}
