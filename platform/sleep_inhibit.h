#pragma once
// The machine's own idle suspend held off while a movie plays: a block lock
// of the system's login manager (idle:sleep). The lock is a file descriptor
// the manager handed us; it ends when we close it, and with the process
// whatever ends it, so a crash never leaves the machine sleepless.
#include <QString>

namespace platform {

// Takes the lock unless one is held. True when this call took it; false
// when one is held already or the system bus has no login manager.
bool InhibitIdleSleep(const QString& why);
// Gives the lock back; true when one was held.
bool ReleaseIdleSleep();
bool IdleSleepInhibited();

}  // namespace platform
