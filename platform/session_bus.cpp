#include "platform/session_bus.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QFileInfo>
#include <QString>

namespace platform {

namespace {

const char kAddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";

}  // namespace

bool SessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty(kAddressVariable)) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

void KeepQtFromStartingASessionBus() {
  if (SessionBusKnown()) return;
  // Qt keeps the shared session connection for the run, a failed one too:
  // later users get it and try no other. Nobody listens on the null device.
  // The variable is as it was before any other thread or program reads it.
  const bool set = qEnvironmentVariableIsSet(kAddressVariable);
  const QByteArray was = qgetenv(kAddressVariable);
  qputenv(kAddressVariable, "unix:path=/dev/null");
  QDBusConnection::sessionBus();
  if (set)
    qputenv(kAddressVariable, was);
  else
    qunsetenv(kAddressVariable);
}

}  // namespace platform
