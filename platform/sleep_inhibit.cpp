#include "platform/sleep_inhibit.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// The login manager answers at once; a bus that does not must not hold up
// the start of a movie for long.
constexpr int kCallTimeoutMs = 1000;
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

int gLock = -1;

}  // namespace

bool InhibitIdleSleep(const QString& why) {
  if (gLock >= 0) return false;
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected() || !(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
    return false;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
  call << QStringLiteral("idle:sleep") << QStringLiteral("Cinvo") << why << QStringLiteral("block");
  const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid() || !reply.value().isValid()) return false;
  // Our own copy, closed on exec: a program started from the viewer (the
  // desktop's opener) must not keep the machine awake after we end.
  gLock = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
  return gLock >= 0;
}

bool ReleaseIdleSleep() {
  if (gLock < 0) return false;
  ::close(gLock);
  gLock = -1;
  return true;
}

bool IdleSleepInhibited() { return gLock >= 0; }

}  // namespace platform
