#include "platform/session_inhibit.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

#include "platform/session_bus.h"

namespace platform {

namespace {

constexpr int kCallTimeoutMs = 1000;
const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");

bool gHeld = false;
uint gCookie = 0;

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
