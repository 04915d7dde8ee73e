#pragma once
// Whether the desktop session has a message bus we may use.
namespace platform {

// Only an existing session bus: never start one (a bus autolaunched for us
// would outlive the program and serve nobody).
bool SessionBusKnown();

}  // namespace platform
