#include "platform/screen_saving.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include "platform/x11_display.h"

namespace platform {

namespace {

// Settings in force before this program switched a phase off.
struct SavedSaver {
  bool Valid = false;
  int Timeout = 0, Interval = 0, Blanking = 0, Exposures = 0;
};
struct SavedDpms {
  bool Valid = false;
  CARD16 Standby = 0, Suspend = 0, Off = 0;
};
SavedSaver gSaver;
SavedDpms gLowPower;  // Standby and Suspend are used
SavedDpms gPowerOff;  // Off is used

bool HasDpms(Display* display) {
  int event = 0, error = 0;
  return DPMSQueryExtension(display, &event, &error) && DPMSCapable(display);
}

bool DpmsTimeouts(Display* display, CARD16& standby, CARD16& suspend, CARD16& off) {
  return DPMSGetTimeouts(display, &standby, &suspend, &off);
}

bool DpmsEnabled(Display* display) {
  CARD16 level = 0;
  BOOL enabled = False;
  return DPMSInfo(display, &level, &enabled) && enabled;
}

bool SaverActive(Display* display) {
  int timeout = 0, interval = 0, blanking = 0, exposures = 0;
  XGetScreenSaver(display, &timeout, &interval, &blanking, &exposures);
  return timeout > 0;
}

bool PhaseActive(Display* display, TScreenPhase phase) {
  if (phase == TScreenPhase::ScreenSaver) return SaverActive(display);
  if (!HasDpms(display) || !DpmsEnabled(display)) return false;
  CARD16 standby = 0, suspend = 0, off = 0;
  if (!DpmsTimeouts(display, standby, suspend, off)) return false;
  return phase == TScreenPhase::LowPower ? (standby > 0 || suspend > 0) : off > 0;
}

}  // namespace

bool ScreenPowerPhasesSupported() {
  X11Connection x;
  return x && HasDpms(x.Display());
}

bool ScreenPhaseActive(TScreenPhase phase) {
  X11Connection x;
  return x && PhaseActive(x.Display(), phase);
}

bool SwitchScreenPhaseOff(TScreenPhase phase) {
  X11Connection x;
  if (!x) return false;
  Display* display = x.Display();
  if (phase == TScreenPhase::ScreenSaver) {
    SavedSaver saved;
    XGetScreenSaver(display, &saved.Timeout, &saved.Interval, &saved.Blanking, &saved.Exposures);
    saved.Valid = true;
    XSetScreenSaver(display, 0, saved.Interval, saved.Blanking, saved.Exposures);
    if (!x.Sync()) return false;
    if (saved.Timeout > 0) gSaver = saved;
    return true;
  }
  if (!HasDpms(display)) return false;
  SavedDpms saved;
  if (!DpmsTimeouts(display, saved.Standby, saved.Suspend, saved.Off)) return false;
  saved.Valid = true;
  if (phase == TScreenPhase::LowPower)
    DPMSSetTimeouts(display, 0, 0, saved.Off);
  else
    DPMSSetTimeouts(display, saved.Standby, saved.Suspend, 0);
  if (!x.Sync()) return false;
  if (phase == TScreenPhase::LowPower && (saved.Standby > 0 || saved.Suspend > 0)) gLowPower = saved;
  if (phase == TScreenPhase::PowerOff && saved.Off > 0) gPowerOff = saved;
  return true;
}

bool SwitchScreenPhaseOn(TScreenPhase phase) {
  X11Connection x;
  if (!x) return false;
  Display* display = x.Display();
  if (phase == TScreenPhase::ScreenSaver) {
    int timeout = 0, interval = 0, blanking = 0, exposures = 0;
    XGetScreenSaver(display, &timeout, &interval, &blanking, &exposures);
    if (gSaver.Valid)
      XSetScreenSaver(display, gSaver.Timeout, gSaver.Interval, gSaver.Blanking, gSaver.Exposures);
    else
      XSetScreenSaver(display, -1, interval, blanking, exposures);  // -1: the server's default
    return x.Sync();
  }
  if (!HasDpms(display)) return false;
  CARD16 standby = 0, suspend = 0, off = 0;
  if (!DpmsTimeouts(display, standby, suspend, off)) return false;
  if (phase == TScreenPhase::LowPower) {
    if (!gLowPower.Valid) return false;  // nothing known to bring back
    DPMSSetTimeouts(display, gLowPower.Standby, gLowPower.Suspend, off);
  } else {
    if (!gPowerOff.Valid) return false;
    DPMSSetTimeouts(display, standby, suspend, gPowerOff.Off);
  }
  DPMSEnable(display);
  return x.Sync();
}

}  // namespace platform
