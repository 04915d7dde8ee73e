#include "viewer/overlay_mixer.h"

#include <gst/base/gstbasetransform.h>
#include <gst/video/colorbalance.h>

#include <QtGlobal>

#include <cstring>

const char* const CLSID_OverlayMixer = "CinvoOverlayMixer";

namespace {

// Colour on/off and the saturation it hides are ours: the balance element
// only knows saturation.
constexpr const char* kColorEnable = "cinvo-color-enable";
constexpr const char* kSaturation = "cinvo-saturation";
constexpr const char* kScaleCaps = "scale-caps";
constexpr const char* kScaleWidth = "cinvo-scale-width";
constexpr const char* kScaleHeight = "cinvo-scale-height";

GType MixerType() {
  static const GType type = g_type_register_static_simple(GST_TYPE_BIN, CLSID_OverlayMixer, sizeof(GstBinClass),
                                                          nullptr, sizeof(GstBin), nullptr, GTypeFlags(0));
  return type;
}

GstColorBalance* BalanceOf(GstElement* mixer) {
  if (!IsOverlayMixer(mixer)) return nullptr;
  GstElement* element = gst_bin_get_by_interface(GST_BIN(mixer), GST_TYPE_COLOR_BALANCE);
  return element ? GST_COLOR_BALANCE(element) : nullptr;
}

// The element behind the interface holds its settings as doubles; they are
// read and written as such, which keeps every step of the record's ranges
// (the interface's own channels are coarser).
struct TProperty {
  const char* name;
  double offset;  // the property's value for "unchanged" minus 0
};

TProperty PropertyOf(const char* channel) {
  if (g_ascii_strcasecmp(channel, "CONTRAST") == 0) return {"contrast", 1.0};
  if (g_ascii_strcasecmp(channel, "SATURATION") == 0) return {"saturation", 1.0};
  if (g_ascii_strcasecmp(channel, "HUE") == 0) return {"hue", 0.0};
  return {"brightness", 0.0};
}

// `fraction`: -1..1 with 0 unchanged.
bool Set(GstColorBalance* balance, const char* channel, double fraction) {
  const TProperty p = PropertyOf(channel);
  if (!g_object_class_find_property(G_OBJECT_GET_CLASS(balance), p.name)) return false;
  g_object_set(balance, p.name, qBound(-1.0, fraction, 1.0) + p.offset, nullptr);
  return true;
}

bool Get(GstColorBalance* balance, const char* channel, double* fraction) {
  const TProperty p = PropertyOf(channel);
  if (!g_object_class_find_property(G_OBJECT_GET_CLASS(balance), p.name)) return false;
  double value = 0;
  g_object_get(balance, p.name, &value, nullptr);
  *fraction = value - p.offset;
  return true;
}

}  // namespace

GstElement* CreateOverlayMixer() {
  GstElement* scale = gst_element_factory_make("videoscale", nullptr);
  GstElement* size = gst_element_factory_make("capsfilter", kScaleCaps);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* balance = gst_element_factory_make("videobalance", nullptr);
  if (!scale || !size || !convert || !balance) {
    for (GstElement* e : {scale, size, convert, balance})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  GstElement* bin = GST_ELEMENT(g_object_new(MixerType(), nullptr));
  gst_bin_add_many(GST_BIN(bin), scale, size, convert, balance, nullptr);
  gst_element_link_many(scale, size, convert, balance, nullptr);
  GstPad* input = gst_element_get_static_pad(scale, "sink");
  GstPad* output = gst_element_get_static_pad(balance, "src");
  gst_element_add_pad(bin, gst_ghost_pad_new("Input", input));
  gst_element_add_pad(bin, gst_ghost_pad_new("Output", output));
  gst_object_unref(input);
  gst_object_unref(output);
  return bin;
}

bool IsOverlayMixer(GstElement* filter) { return filter && G_TYPE_CHECK_INSTANCE_TYPE(filter, MixerType()); }

namespace {

// The size asked for is applied only while the colours change: unchanged
// colours pass the frame through, and the renderer scales it faster.
void ApplyScaleLimit(GstElement* mixer) {
  GstElement* filter = gst_bin_get_by_name(GST_BIN(mixer), kScaleCaps);
  if (!filter) return;
  GstColorBalance* balance = BalanceOf(mixer);
  const bool changing = balance && !gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(balance));
  if (balance) gst_object_unref(balance);
  const QSize size(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(mixer), kScaleWidth)),
                   GPOINTER_TO_INT(g_object_get_data(G_OBJECT(mixer), kScaleHeight)));
  GstCaps* caps = !changing || size.isEmpty()
                      ? gst_caps_new_any()
                      : gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, size.width(), "height", G_TYPE_INT,
                                            size.height(), nullptr);
  GstCaps* current = nullptr;
  g_object_get(filter, "caps", &current, nullptr);
  // The same caps again would renegotiate for nothing.
  if (!current || !gst_caps_is_equal(current, caps)) g_object_set(filter, "caps", caps, nullptr);
  if (current) gst_caps_unref(current);
  gst_caps_unref(caps);
  gst_object_unref(filter);
}

}  // namespace

void MixerSetScaleLimit(GstElement* mixer, const QSize& size) {
  if (!IsOverlayMixer(mixer)) return;
  g_object_set_data(G_OBJECT(mixer), kScaleWidth, GINT_TO_POINTER(size.isEmpty() ? 0 : size.width()));
  g_object_set_data(G_OBJECT(mixer), kScaleHeight, GINT_TO_POINTER(size.isEmpty() ? 0 : size.height()));
  ApplyScaleLimit(mixer);
}

bool MixerGetColorControls(GstElement* mixer, TDDColorControl* record) {
  if (!record || record->dwSize != sizeof(TDDColorControl)) return false;
  GstColorBalance* balance = BalanceOf(mixer);
  if (!balance) return false;
  double brightness = 0, contrast = 1, hue = 0, saturation = 1;
  bool ok = Get(balance, "BRIGHTNESS", &brightness) && Get(balance, "CONTRAST", &contrast) &&
            Get(balance, "HUE", &hue) && Get(balance, "SATURATION", &saturation);
  gst_object_unref(balance);
  if (!ok) return false;
  const bool colorOn = g_object_get_data(G_OBJECT(mixer), kColorEnable) == nullptr;
  record->dwFlags = kMixerColorCaps;
  // Brightness 0..10000 with 5000 unchanged; contrast and saturation
  // 0..20000 with 10000 unchanged; hue in degrees.
  record->lBrightness = qRound(5000.0 + brightness * 5000.0);
  record->lContrast = qRound((contrast + 1.0) * 10000.0);
  record->lHue = qRound(hue * 180.0);
  record->lSaturation = colorOn ? qRound((saturation + 1.0) * 10000.0)
                                : GPOINTER_TO_INT(g_object_get_data(G_OBJECT(mixer), kSaturation));
  record->lSharpness = 5;
  record->lGamma = 1;
  record->lColorEnable = colorOn ? 1 : 0;
  return true;
}

bool MixerSetColorControls(GstElement* mixer, const TDDColorControl& record) {
  if (record.dwSize != sizeof(TDDColorControl)) return false;
  GstColorBalance* balance = BalanceOf(mixer);
  if (!balance) return false;
  bool ok = true;
  if (record.dwFlags & DDCOLOR_BRIGHTNESS) ok &= Set(balance, "BRIGHTNESS", (record.lBrightness - 5000) / 5000.0);
  if (record.dwFlags & DDCOLOR_CONTRAST) ok &= Set(balance, "CONTRAST", record.lContrast / 10000.0 - 1.0);
  if (record.dwFlags & DDCOLOR_HUE) ok &= Set(balance, "HUE", record.lHue / 180.0);
  bool colorOn = g_object_get_data(G_OBJECT(mixer), kColorEnable) == nullptr;
  if (record.dwFlags & DDCOLOR_COLORENABLE) colorOn = record.lColorEnable != 0;
  int saturation = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(mixer), kSaturation));
  if (record.dwFlags & DDCOLOR_SATURATION) saturation = record.lSaturation;
  else if (colorOn && g_object_get_data(G_OBJECT(mixer), kColorEnable) == nullptr) {
    double current = 0;
    if (Get(balance, "SATURATION", &current)) saturation = qRound((current + 1.0) * 10000.0);
  }
  g_object_set_data(G_OBJECT(mixer), kSaturation, GINT_TO_POINTER(saturation));
  g_object_set_data(G_OBJECT(mixer), kColorEnable, colorOn ? nullptr : GINT_TO_POINTER(1));
  // Colour off is a grey picture: no saturation at all.
  ok &= Set(balance, "SATURATION", colorOn ? saturation / 10000.0 - 1.0 : -1.0);
  gst_object_unref(balance);
  ApplyScaleLimit(mixer);
  return ok;
}
