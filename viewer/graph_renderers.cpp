#include "viewer/graph_renderers.h"

#include <cmath>

#include "viewer/graph_utils.h"

namespace {

GType RendererType(const char* name) {
  // Our own bin types, so that a renderer's class identifier names it.
  return g_type_register_static_simple(GST_TYPE_BIN, name, sizeof(GstBinClass), nullptr, sizeof(GstBin),
                                       nullptr, GTypeFlags(0));
}

GType AudioRendererType() {
  static const GType type = RendererType(CLSID_AudioRender);
  return type;
}

GType NullRendererType() {
  static const GType type = RendererType(CLSID_NullRenderer);
  return type;
}

GstElement* MakeAudioSink(QString* error) {
  QByteArray description = qgetenv("CINVO_AUDIO_SINK").trimmed();
  if (description.isEmpty()) description = "autoaudiosink";
  GError* gerror = nullptr;
  // A chain ("audioconvert ! filesink ...") becomes a bin with its input
  // as the bin's own.
  GstElement* sink =
      description.contains('!')
          ? gst_parse_bin_from_description_full(description.constData(), TRUE, nullptr, GST_PARSE_FLAG_NONE, &gerror)
          : gst_parse_launch_full(description.constData(), nullptr, GST_PARSE_FLAG_NONE, &gerror);
  if (gerror) {
    if (error) *error = QString::fromUtf8(gerror->message);
    g_error_free(gerror);
    if (sink) gst_object_unref(sink);
    return nullptr;
  }
  return sink;
}

}  // namespace

GstElement* CreateAudioRenderer(QString* error) {
  GstElement* sink = MakeAudioSink(error);
  if (!sink) return nullptr;
  GstElement* bin = GST_ELEMENT(g_object_new(AudioRendererType(), nullptr));
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resample = gst_element_factory_make("audioresample", nullptr);
  GstElement* panorama = gst_element_factory_make("audiopanorama", "balance");
  GstElement* volume = gst_element_factory_make("volume", "volume");
  if (!convert || !resample || !panorama || !volume) {
    for (GstElement* e : {convert, resample, panorama, volume, sink})
      if (e) gst_object_unref(e);
    gst_object_unref(bin);
    if (error) *error = QStringLiteral("audio conversion elements are missing");
    return nullptr;
  }
  // Simple panning: only the channel on the far side is attenuated.
  g_object_set(panorama, "method", 1, nullptr);
  gst_bin_add_many(GST_BIN(bin), convert, resample, panorama, volume, sink, nullptr);
  gst_element_link_many(convert, resample, panorama, volume, sink, nullptr);
  GstPad* target = gst_element_get_static_pad(convert, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);
  return bin;
}

GstElement* CreateNullVideoRenderer() {
  GstElement* bin = GST_ELEMENT(g_object_new(NullRendererType(), nullptr));
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  g_object_set(sink, "sync", TRUE, "qos", TRUE, nullptr);
  gst_bin_add(GST_BIN(bin), sink);
  GstPad* target = gst_element_get_static_pad(sink, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);
  return bin;
}

bool IsAudioRenderer(GstElement* filter) {
  return filter && G_TYPE_CHECK_INSTANCE_TYPE(filter, AudioRendererType());
}

void ApplyRendererAudio(GstElement* audioRenderer, int volumeDb, int balanceDb) {
  if (!IsAudioRenderer(audioRenderer)) return;
  // -10000 is silence; above it, hundredths of a decibel.
  const double gain = volumeDb <= -10000 ? 0.0 : std::pow(10.0, volumeDb / 2000.0);
  if (GstElement* volume = gst_bin_get_by_name(GST_BIN(audioRenderer), "volume")) {
    g_object_set(volume, "volume", gain, nullptr);
    gst_object_unref(volume);
  }
  const int attenuation = std::abs(balanceDb);
  const double kept = attenuation >= 10000 ? 0.0 : std::pow(10.0, -attenuation / 2000.0);
  // Positive balance attenuates the left channel: pan to the right.
  const double pan = (balanceDb > 0 ? 1.0 : -1.0) * (1.0 - kept);
  if (GstElement* panorama = gst_bin_get_by_name(GST_BIN(audioRenderer), "balance")) {
    g_object_set(panorama, "panorama", static_cast<float>(pan), nullptr);
    gst_object_unref(panorama);
  }
}
