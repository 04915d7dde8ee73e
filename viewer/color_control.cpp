#include "viewer/color_control.h"

#include "framework/qs_exception.h"
#include "viewer/filter_graph.h"
#include "viewer/video_window.h"

namespace {

void CheckRange(int value, int low, int high, const char* range) {
  if (value < low || value > high)
    throw Exception(QStringLiteral("Value %1 out of range. Value must bee between %2").arg(value).arg(
        QString::fromLatin1(range)));
}

}  // namespace

TColorControl::TColorControl(TDSVideoWindowEx2* owner) : QObject(owner), fOwner(owner) {
  setObjectName(QStringLiteral("ColorControl"));
  fRecord.dwSize = sizeof(TDDColorControl);
  fRecord.dwFlags = DDCOLOR_ALL;
  fRecord.lBrightness = 750;
  fRecord.lContrast = 10000;
  fRecord.lHue = 0;
  fRecord.lSaturation = 10000;
  fRecord.lSharpness = 5;
  fRecord.lGamma = 1;
  fRecord.lColorEnable = 1;
}

bool TColorControl::Live() const {
  TFilterGraph* graph = fOwner ? fOwner->FilterGraph() : nullptr;
  return graph && graph->Active();
}

GstElement* TColorControl::FindMixer() const {
  if (!Live()) return nullptr;
  TFilterList filters(fOwner->FilterGraph()->Graph());
  GstElement* mixer = nullptr;
  for (int i = 0; i < filters.Count(); ++i)
    if (IsOverlayMixer(filters.Items(i))) mixer = filters.Items(i);
  return mixer ? GST_ELEMENT(gst_object_ref(mixer)) : nullptr;
}

void TColorControl::Changed() {
  if (Live()) ApplyColors();
}

int TColorControl::Brightness() {
  if (Live()) FetchColors();
  return fBrightness;
}
void TColorControl::SetBrightness(int value) {
  CheckRange(value, 0, 10000, "0 -> 10.000");
  fBrightness = value;
  Changed();
}
int TColorControl::Contrast() {
  if (Live()) FetchColors();
  return fContrast;
}
void TColorControl::SetContrast(int value) {
  CheckRange(value, 0, 20000, "0 -> 20.000");
  fContrast = value;
  Changed();
}
int TColorControl::Hue() {
  if (Live()) FetchColors();
  return fHue;
}
void TColorControl::SetHue(int value) {
  CheckRange(value, -180, 180, "-180 -> 180");
  fHue = value;
  Changed();
}
int TColorControl::Saturation() {
  if (Live()) FetchColors();
  return fSaturation;
}
void TColorControl::SetSaturation(int value) {
  CheckRange(value, 0, 20000, "0 -> 20.000");
  fSaturation = value;
  Changed();
}
int TColorControl::Sharpness() {
  if (Live()) FetchColors();
  return fSharpness;
}
void TColorControl::SetSharpness(int value) {
  CheckRange(value, 0, 10, "0 -> 10");
  fSharpness = value;
  Changed();
}
int TColorControl::Gamma() {
  if (Live()) FetchColors();
  return fGamma;
}
void TColorControl::SetGamma(int value) {
  CheckRange(value, 1, 500, "1 -> 500");
  fGamma = value;
  Changed();
}
bool TColorControl::ColorEnable() {
  if (Live()) FetchColors();
  return fColorEnable;
}
void TColorControl::SetColorEnable(bool value) {
  fColorEnable = value;
  Changed();
}

void TColorControl::ReadHardwareColors() {
  GstElement* mixer = FindMixer();
  if (!mixer) return;
  TDDColorControl record;
  if (MixerGetColorControls(mixer, &record)) fRecord = record;
  gst_object_unref(mixer);
}

void TColorControl::ApplyColors() {
  GstElement* mixer = FindMixer();
  if (!mixer) return;
  TDDColorControl record;
  record.dwFlags = DDCOLOR_ALL;
  record.lBrightness = fBrightness;
  record.lContrast = fContrast;
  record.lHue = fHue;
  record.lSaturation = fSaturation;
  record.lSharpness = fSharpness;
  record.lGamma = fGamma;
  record.lColorEnable = fColorEnable ? 1 : 0;
  MixerSetColorControls(mixer, record);  // a refusal leaves the picture as it was
  gst_object_unref(mixer);
}

void TColorControl::FetchColors() {
  GstElement* mixer = FindMixer();
  if (!mixer) return;
  TDDColorControl record;
  if (MixerGetColorControls(mixer, &record)) {
    // Only what the stage holds: settings it cannot change keep their value.
    if (record.dwFlags & DDCOLOR_BRIGHTNESS) fBrightness = record.lBrightness;
    if (record.dwFlags & DDCOLOR_CONTRAST) fContrast = record.lContrast;
    if (record.dwFlags & DDCOLOR_HUE) fHue = record.lHue;
    if (record.dwFlags & DDCOLOR_SATURATION) fSaturation = record.lSaturation;
    if (record.dwFlags & DDCOLOR_SHARPNESS) fSharpness = record.lSharpness;
    if (record.dwFlags & DDCOLOR_GAMMA) fGamma = record.lGamma;
    if (record.dwFlags & DDCOLOR_COLORENABLE) fColorEnable = record.lColorEnable != 0;
  } else {
    fBrightness = 750;
    fContrast = 10000;
    fHue = 0;
    fSaturation = 10000;
    fSharpness = 5;
    fGamma = 1;
    fColorEnable = true;
  }
  gst_object_unref(mixer);
}

void TColorControl::ResetColors() {
  fBrightness = fRecord.lBrightness;
  fContrast = fRecord.lContrast;
  fHue = fRecord.lHue;
  fSaturation = fRecord.lSaturation;
  fSharpness = fRecord.lSharpness;
  fGamma = fRecord.lGamma;
  fColorEnable = fRecord.lColorEnable != 0;
  if (Live()) ApplyColors();
}
