#pragma once
// Whether the desktop session has a message bus we may use.
namespace platform {

// Only an existing session bus: never start one (a bus autolaunched for us
// would outlive the program and serve nobody).
bool SessionBusKnown();

// Holds Qt's own users of the session bus (the accessibility bridge, which
// the first list view wakes) to the same rule: where no bus is known, the
// run's shared connection is made now, to no bus, instead of one being
// started for them in a process forked from this one, which took as long as
// a good part of the window's start. Needs the application object.
void KeepQtFromStartingASessionBus();

}  // namespace platform
