#include "tests/support/private_system_bus.h"

#include <QDBusConnection>
#include <QDeadlineTimer>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "tests/support/private_session_bus.h"

namespace {

const QString kConnection = QStringLiteral("fake-login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");

}  // namespace

FakeLogin1::~FakeLogin1() {
  for (const int fd : fOurEnds) ::close(fd);
}

QStringList FakeLogin1::Calls() {
  QMutexLocker lock(&fMutex);
  return fCalls;
}

int FakeLogin1::HeldLocks() {
  QMutexLocker lock(&fMutex);
  int held = 0;
  for (const int fd : fOurEnds) {
    // The holder's end closed: our end reads as hung up.
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) == 0) ++held;
  }
  return held;
}

bool FakeLogin1::WaitForHeld(int count) {
  for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(20))
    if (HeldLocks() == count) return true;
  return HeldLocks() == count;
}

QDBusUnixFileDescriptor FakeLogin1::Inhibit(const QString& what, const QString& who, const QString& why,
                                            const QString& mode) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return {};
  QMutexLocker lock(&fMutex);
  fCalls << QStringList{what, who, why, mode}.join(QLatin1Char(' '));
  fOurEnds << ends[0];
  // The reply carries its own copy of the holder's end.
  QDBusUnixFileDescriptor theirs(ends[1]);
  ::close(ends[1]);
  return theirs;
}

PrivateSystemBus::PrivateSystemBus(bool withLogin1) {
  const QString address = StartPrivateBusDaemon(fDaemon);
  if (address.isEmpty()) return;
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
  if (!withLogin1) {
    fReady = true;
    return;
  }
  fThread.start();
  fLogin1.moveToThread(&fThread);
  QDBusConnection bus = QDBusConnection::connectToBus(address, kConnection);
  fRegistered = bus.registerService(QStringLiteral("org.freedesktop.login1")) &&
                bus.registerObject(kPath, &fLogin1, QDBusConnection::ExportAllSlots);
  fReady = fRegistered;
}

PrivateSystemBus::~PrivateSystemBus() {
  if (fThread.isRunning()) {
    {
      QDBusConnection bus(kConnection);
      bus.unregisterObject(kPath);
      bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
    }
    QDBusConnection::disconnectFromBus(kConnection);
    fThread.quit();
    fThread.wait();
  }
  fDaemon.kill();
  fDaemon.waitForFinished(5000);
}
