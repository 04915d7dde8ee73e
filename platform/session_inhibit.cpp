#include "platform/session_inhibit.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>

namespace platform {

namespace {

constexpr int kCallTimeoutMs = 1000;
const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");

bool gHeld = false;
uint gCookie = 0;

// Only an existing session bus: never start one (a bus autolaunched for us
// would outlive the program and inhibit nothing).
bool SessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

}  // namespace

bool InhibitSessionIdle(const QString& reason) {
  if (gHeld || !SessionBusKnown()) return false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Inhibit"));
  call << QCoreApplication::applicationName() << reason;
  const QDBusReply<uint> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid()) return false;
  gCookie = reply.value();
  gHeld = true;
  return true;
}

bool ReleaseSessionIdle() {
  if (!gHeld) return false;
  gHeld = false;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("UnInhibit"));
  call << gCookie;
  // The hold ends with our connection anyway; no need to wait for the answer.
  QDBusConnection::sessionBus().send(call);
  return true;
}

bool SessionIdleInhibited() { return gHeld; }

}  // namespace platform
