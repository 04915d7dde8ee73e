// Screen saving phases and the display mode (the display half of qs_tools).
#include "framework/qs_tools.h"
#include "platform/display_settings.h"
#include "platform/screen_saving.h"
#include "platform/session_inhibit.h"

namespace {

bool DisablePhase(platform::TScreenPhase phase) {
  if (!platform::ScreenPhaseActive(phase)) return false;
  platform::SwitchScreenPhaseOff(phase);
  return true;
}

// The session's own idle blanking is held off together with the X
// server's screen saver; a hold taken while the server's saver was off
// must not switch that saver on when it is given back.
bool gHeldBySessionOnly = false;

}  // namespace

bool DisableScreenSaver() {
  const bool serverSaver = DisablePhase(platform::TScreenPhase::ScreenSaver);
  const bool session = platform::InhibitSessionIdle(QStringLiteral("Playing a movie"));
  if (serverSaver || session) gHeldBySessionOnly = !serverSaver;
  return serverSaver || session;
}

bool EnableScreenSaver() {
  const bool released = platform::ReleaseSessionIdle();
  if (gHeldBySessionOnly) {
    gHeldBySessionOnly = false;
    return released;
  }
  return platform::SwitchScreenPhaseOn(platform::TScreenPhase::ScreenSaver);
}

bool DisableLowPower() { return DisablePhase(platform::TScreenPhase::LowPower); }
bool EnableLowPower() { return platform::SwitchScreenPhaseOn(platform::TScreenPhase::LowPower); }
bool DisablePowerOff() { return DisablePhase(platform::TScreenPhase::PowerOff); }
bool EnablePowerOff() { return platform::SwitchScreenPhaseOn(platform::TScreenPhase::PowerOff); }

TDisplayMode MakeDisplayMode(int width, int height, int bitsPerPixel, int frequency) {
  return {width, height, bitsPerPixel, frequency};
}

TDisplayRequest MakeDisplayRequest(const TDisplayMode& current, const TDisplayMode& request) {
  TDisplayRequest r;
  r.Mode.Width = request.Width >= 1 ? request.Width : current.Width;
  r.Mode.Height = request.Height >= 1 ? request.Height : current.Height;
  r.Mode.BitsPerPixel = request.BitsPerPixel >= 0 ? request.BitsPerPixel : current.BitsPerPixel;
  r.Mode.Frequency = request.Frequency >= 0 ? request.Frequency : 0;
  if (r.Mode.Width != current.Width) r.Fields |= platform::kChangeWidth;
  if (r.Mode.Height != current.Height) r.Fields |= platform::kChangeHeight;
  if (r.Mode.BitsPerPixel != current.BitsPerPixel) r.Fields |= platform::kChangeBitsPerPixel;
  if (r.Mode.Frequency != 0) r.Fields |= platform::kChangeFrequency;
  return r;
}

void ChangeDisplayMode(const TDisplayMode& mode) {
  const auto settings = platform::CurrentDisplaySettings();
  if (!settings) return;  // no display to change
  const TDisplayMode current{settings->Width, settings->Height, settings->BitsPerPixel, 0};
  const TDisplayRequest request = MakeDisplayRequest(current, mode);
  if (request.Fields == 0) return;
  const platform::DisplaySettings wanted{request.Mode.Width, request.Mode.Height, request.Mode.BitsPerPixel,
                                         request.Mode.Frequency};
  switch (platform::TestDisplaySettings(wanted, request.Fields)) {
    case platform::kDisplayChangeSuccessful:
      // A change the test accepted but the display then refused is no success.
      if (platform::ApplyDisplaySettings(wanted, request.Fields) == platform::kDisplayChangeFailed)
        throw EToolsError(QStringLiteral("Unable to change setting"));
      break;
    case platform::kDisplayChangeRestart:
      throw EToolsError(QStringLiteral("Unable to change setting without restarting Windows"));
    case platform::kDisplayChangeFailed:
      throw EToolsError(QStringLiteral("Unable to change setting"));
    case platform::kDisplayChangeBadMode:
      throw EToolsError(QStringLiteral("Unsupported graphic mode"));
    default:
      break;
  }
}

void ApplyScreenSettingsMode(quint8 screenSettingsMode) {
  if (screenSettingsMode == 1) ChangeDisplayMode(MakeDisplayMode(800, 600, -1, -1));
}

void RestoreDisplayMode() { platform::RestoreDisplaySettings(); }
