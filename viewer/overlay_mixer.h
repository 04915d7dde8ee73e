#pragma once
// The colour stage the video window puts in front of its renderer: a bin of
// type CLSID_OverlayMixer ("videoscale ! capsfilter ! videoconvert !
// videobalance") with an input pin "Input" and an output pin "Output". Its
// colour settings are read and written as one record, reached through the
// element's GstColorBalance. While the colours change, a picture larger than
// the window is scaled down first, in the decoder's format: the colours are
// then changed on the small picture, and the decoded frame is only ever
// read.
#include <gst/gst.h>

#include <QSize>

#include <cstdint>

extern const char* const CLSID_OverlayMixer;

// Flags of TDDColorControl::dwFlags, one bit per field.
enum : uint32_t {
  DDCOLOR_BRIGHTNESS = 0x01,
  DDCOLOR_CONTRAST = 0x02,
  DDCOLOR_HUE = 0x04,
  DDCOLOR_SATURATION = 0x08,
  DDCOLOR_SHARPNESS = 0x10,
  DDCOLOR_GAMMA = 0x20,
  DDCOLOR_COLORENABLE = 0x40,
  DDCOLOR_ALL = 0x7F,
};

// The colour record: ten 32-bit fields, 40 bytes.
struct TDDColorControl {
  uint32_t dwSize = 40;
  uint32_t dwFlags = 0;
  int32_t lBrightness = 0;
  int32_t lContrast = 0;
  int32_t lHue = 0;
  int32_t lSaturation = 0;
  int32_t lSharpness = 0;
  int32_t lGamma = 0;
  int32_t lColorEnable = 0;
  uint32_t dwReserved1 = 0;
};
static_assert(sizeof(TDDColorControl) == 40);

// The settings the stage can change: brightness, contrast, hue, saturation
// and colour on/off. Sharpness and gamma are not available.
constexpr uint32_t kMixerColorCaps =
    DDCOLOR_BRIGHTNESS | DDCOLOR_CONTRAST | DDCOLOR_HUE | DDCOLOR_SATURATION | DDCOLOR_COLORENABLE;

// A new, floating colour stage; nullptr when its elements are missing.
GstElement* CreateOverlayMixer();
bool IsOverlayMixer(GstElement* filter);
// The size the stage scales the picture to while it changes colours (then
// on the smaller picture); empty, or unchanged colours, keep the decoded
// size.
void MixerSetScaleLimit(GstElement* mixer, const QSize& size);

// Fills `record` (its dwSize must be 40) with the stage's settings; false
// when `mixer` is no colour stage or the record is malformed. Sharpness and
// gamma read as their neutral values 5 and 1, outside dwFlags.
bool MixerGetColorControls(GstElement* mixer, TDDColorControl* record);
// Writes the fields that dwFlags marks; false when refused.
bool MixerSetColorControls(GstElement* mixer, const TDDColorControl& record);
