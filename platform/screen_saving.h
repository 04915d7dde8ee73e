#pragma once
// The screen's saving phases: the screen saver, the low-power phase
// (standby and suspend) and the power-off phase. Under X11 the screen saver
// is the server's own; the two power phases are DPMS timeouts. Without an
// X server, or without DPMS for the power phases, nothing is active and
// nothing can be switched.

namespace platform {

enum class TScreenPhase { ScreenSaver, LowPower, PowerOff };

// Whether the server can switch the power phases at all (DPMS).
bool ScreenPowerPhasesSupported();
// Whether the phase is switched on now.
bool ScreenPhaseActive(TScreenPhase phase);
// Switches the phase off, keeping its settings so that switching it on
// again brings them back. True when the server accepted.
bool SwitchScreenPhaseOff(TScreenPhase phase);
// Switches the phase on with the settings it had before it was switched
// off (the server's defaults when it was never switched off here).
bool SwitchScreenPhaseOn(TScreenPhase phase);

}  // namespace platform
