#include "viewer/hardware_decoders.h"

#include <gst/gst.h>

#include <QByteArray>
#include <QtGlobal>

#include <mutex>

namespace {

// The rank each hardware decoder had before it was lowered.
constexpr const char* kSavedRank = "cinvo-hardware-rank";

bool IsHardwareDecoder(GstElementFactory* factory) {
  const gchar* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
  return klass && g_strrstr(klass, "Decoder") && g_strrstr(klass, "Hardware");
}

}  // namespace

bool HardwareDecodingAllowed() { return qgetenv("CINVO_HARDWARE_DECODING").trimmed() != "0"; }

void SetHardwareDecoding(bool allowed) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  GList* factories = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER, GST_RANK_NONE);
  for (GList* item = factories; item; item = item->next) {
    auto* factory = GST_ELEMENT_FACTORY(item->data);
    if (!IsHardwareDecoder(factory)) continue;
    GstPluginFeature* feature = GST_PLUGIN_FEATURE(factory);
    // Stored plus one, so that a saved rank of 0 is told from none saved.
    const guint saved = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(feature), kSavedRank));
    if (!allowed && !saved) {
      g_object_set_data(G_OBJECT(feature), kSavedRank, GUINT_TO_POINTER(gst_plugin_feature_get_rank(feature) + 1));
      gst_plugin_feature_set_rank(feature, GST_RANK_NONE);
    } else if (allowed && saved) {
      gst_plugin_feature_set_rank(feature, saved - 1);
      g_object_set_data(G_OBJECT(feature), kSavedRank, nullptr);
    }
  }
  gst_plugin_feature_list_free(factories);
}
