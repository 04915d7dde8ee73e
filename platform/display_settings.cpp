#include "platform/display_settings.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>

#include "platform/x11_display.h"

namespace platform {

namespace {

// What a change replaced, so that it can be put back.
struct SavedMode {
  bool Valid = false;
  RRMode Mode = 0;
  int Width = 0, Height = 0, WidthMm = 0, HeightMm = 0;
};
SavedMode gOriginal;

int RefreshOf(const XRRModeInfo& mode) {
  if (mode.hTotal == 0 || mode.vTotal == 0) return 0;
  return static_cast<int>(std::lround(static_cast<double>(mode.dotClock) / (double(mode.hTotal) * mode.vTotal)));
}

// The output that shows the screen: the primary one, else the first
// connected output driven by a controller.
class ScreenOutput {
 public:
  ScreenOutput(Display* display) : fDisplay(display) {
    fRoot = DefaultRootWindow(display);
    int event = 0, error = 0;
    if (!XRRQueryExtension(display, &event, &error)) return;
    fResources = XRRGetScreenResourcesCurrent(display, fRoot);
    if (!fResources) return;
    RROutput primary = XRRGetOutputPrimary(display, fRoot);
    for (int i = -1; i < fResources->noutput && !fOutput; ++i) {
      const RROutput id = i < 0 ? primary : fResources->outputs[i];
      if (!id) continue;
      XRROutputInfo* info = XRRGetOutputInfo(display, fResources, id);
      if (info && info->connection == RR_Connected && info->crtc) {
        fOutput = info;
        fCrtc = XRRGetCrtcInfo(display, fResources, info->crtc);
        if (!fCrtc) {
          XRRFreeOutputInfo(info);
          fOutput = nullptr;
        }
      } else if (info) {
        XRRFreeOutputInfo(info);
      }
    }
  }
  ~ScreenOutput() {
    if (fCrtc) XRRFreeCrtcInfo(fCrtc);
    if (fOutput) XRRFreeOutputInfo(fOutput);
    if (fResources) XRRFreeScreenResources(fResources);
  }
  explicit operator bool() const { return fCrtc != nullptr; }

  const XRRModeInfo* ModeInfo(RRMode id) const {
    for (int i = 0; i < fResources->nmode; ++i)
      if (fResources->modes[i].id == id) return &fResources->modes[i];
    return nullptr;
  }
  // A mode of the output with the wanted size (and refresh when asked).
  const XRRModeInfo* FindMode(int width, int height, int frequency, bool matchFrequency) const {
    for (int i = 0; i < fOutput->nmode; ++i) {
      const XRRModeInfo* mode = ModeInfo(fOutput->modes[i]);
      if (!mode || int(mode->width) != width || int(mode->height) != height) continue;
      if (matchFrequency && frequency > 0 && RefreshOf(*mode) != frequency) continue;
      return mode;
    }
    return nullptr;
  }
  RRMode CurrentMode() const { return fCrtc->mode; }

  // Switches the controller to `mode` and sizes the screen to fit it.
  bool SetMode(RRMode mode, int width, int height, int widthMm, int heightMm) {
    const int screen = DefaultScreen(fDisplay);
    const bool growing = width > DisplayWidth(fDisplay, screen) || height > DisplayHeight(fDisplay, screen);
    XGrabServer(fDisplay);
    if (growing) XRRSetScreenSize(fDisplay, fRoot, width, height, widthMm, heightMm);
    RROutput output = fCrtc->outputs && fCrtc->noutput > 0 ? fCrtc->outputs[0] : 0;
    const Status status = XRRSetCrtcConfig(fDisplay, fResources, fOutput->crtc, CurrentTime, 0, 0, mode,
                                           fCrtc->rotation, &output, output ? 1 : 0);
    if (status == RRSetConfigSuccess && !growing)
      XRRSetScreenSize(fDisplay, fRoot, width, height, widthMm, heightMm);
    XUngrabServer(fDisplay);
    return status == RRSetConfigSuccess;
  }

 private:
  Display* fDisplay;
  Window fRoot = 0;
  XRRScreenResources* fResources = nullptr;
  XRROutputInfo* fOutput = nullptr;
  XRRCrtcInfo* fCrtc = nullptr;
};

DisplaySettings Current(Display* display) {
  const int screen = DefaultScreen(display);
  // One plane per pixel on every X visual.
  return {DisplayWidth(display, screen), DisplayHeight(display, screen), DefaultDepth(display, screen), 0};
}

int MillimetresFor(int pixels, int currentPixels, int currentMm) {
  if (currentPixels <= 0 || currentMm <= 0) return std::max(1, pixels * 254 / 960);  // 96 dpi
  return std::max(1, pixels * currentMm / currentPixels);
}

int Check(Display* display, ScreenOutput& output, const DisplaySettings& request, unsigned fields,
          const XRRModeInfo** found) {
  const DisplaySettings current = Current(display);
  // The colour depth of an X screen is fixed for its lifetime.
  if ((fields & kChangeBitsPerPixel) && request.BitsPerPixel != current.BitsPerPixel) return kDisplayChangeBadMode;
  if (!output) return kDisplayChangeFailed;
  const int width = (fields & kChangeWidth) ? request.Width : current.Width;
  const int height = (fields & kChangeHeight) ? request.Height : current.Height;
  const XRRModeInfo* mode = output.FindMode(width, height, request.Frequency, fields & kChangeFrequency);
  if (!mode) return kDisplayChangeBadMode;
  const int screen = DefaultScreen(display);
  int minW = 0, minH = 0, maxW = 0, maxH = 0;
  if (XRRGetScreenSizeRange(display, RootWindow(display, screen), &minW, &minH, &maxW, &maxH) &&
      (width > maxW || height > maxH || width < minW || height < minH))
    return kDisplayChangeBadMode;
  if (found) *found = mode;
  return kDisplayChangeSuccessful;
}

}  // namespace

std::optional<DisplaySettings> CurrentDisplaySettings() {
  X11Connection x;
  if (!x) return std::nullopt;
  return Current(x.Display());
}

int TestDisplaySettings(const DisplaySettings& request, unsigned fields) {
  X11Connection x;
  if (!x) return kDisplayChangeNoDisplay;
  ScreenOutput output(x.Display());
  return Check(x.Display(), output, request, fields, nullptr);
}

int ApplyDisplaySettings(const DisplaySettings& request, unsigned fields) {
  X11Connection x;
  if (!x) return kDisplayChangeNoDisplay;
  Display* display = x.Display();
  ScreenOutput output(display);
  const XRRModeInfo* mode = nullptr;
  const int checked = Check(display, output, request, fields, &mode);
  if (checked != kDisplayChangeSuccessful) return checked;
  const int screen = DefaultScreen(display);
  const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
  const int widthMm = DisplayWidthMM(display, screen), heightMm = DisplayHeightMM(display, screen);
  if (!gOriginal.Valid) gOriginal = {true, output.CurrentMode(), width, height, widthMm, heightMm};
  if (!output.SetMode(mode->id, mode->width, mode->height, MillimetresFor(mode->width, width, widthMm),
                      MillimetresFor(mode->height, height, heightMm)))
    return kDisplayChangeFailed;
  return x.Sync() ? kDisplayChangeSuccessful : kDisplayChangeFailed;
}

int RestoreDisplaySettings() {
  if (!gOriginal.Valid) return kDisplayChangeSuccessful;
  X11Connection x;
  if (!x) return kDisplayChangeNoDisplay;
  ScreenOutput output(x.Display());
  if (!output) return kDisplayChangeFailed;
  if (!output.SetMode(gOriginal.Mode, gOriginal.Width, gOriginal.Height, gOriginal.WidthMm, gOriginal.HeightMm))
    return kDisplayChangeFailed;
  if (!x.Sync()) return kDisplayChangeFailed;
  gOriginal.Valid = false;
  return kDisplayChangeSuccessful;
}

}  // namespace platform
