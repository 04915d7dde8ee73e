// Hardware decoders and the switch that keeps the automatic decoder choice
// away from them. This machine has no device: a stand-in factory of the
// same class plays the hardware decoder.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "viewer/hardware_decoders.h"

namespace {

struct TStandIn {
  GstElement parent;
};
struct TStandInClass {
  GstElementClass parent;
};

GType StandInType() {
  static const GType type = [] {
    GTypeInfo info{};
    info.class_size = sizeof(TStandInClass);
    info.instance_size = sizeof(TStandIn);
    info.class_init = [](gpointer klass, gpointer) {
      gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Stand-in hardware decoder",
                                            "Codec/Decoder/Video/Hardware", "Decodes nothing", "Cinvo tests");
    };
    return g_type_register_static(GST_TYPE_ELEMENT, "CinvoStandInHardwareDecoder", &info, GTypeFlags(0));
  }();
  return type;
}

GstElementFactory* StandInFactory() {
  static const bool registered = [] {
    gst_init(nullptr, nullptr);
    return gst_element_register(nullptr, "cinvostandinhwdec", GST_RANK_PRIMARY + 1, StandInType());
  }();
  return registered ? gst_element_factory_find("cinvostandinhwdec") : nullptr;
}

bool ChosenAutomatically(GstElementFactory* factory) {
  GList* list = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER, GST_RANK_MARGINAL);
  const bool found = g_list_find(list, factory) != nullptr;
  gst_plugin_feature_list_free(list);
  return found;
}

}  // namespace

TEST(HardwareDecoders, TurnedOffTheyAreNeverChosenAndTurnedOnTheyKeepTheirRank) {
  GstElementFactory* factory = StandInFactory();
  ASSERT_NE(factory, nullptr);
  GstPluginFeature* feature = GST_PLUGIN_FEATURE(factory);
  EXPECT_TRUE(ChosenAutomatically(factory));

  SetHardwareDecoding(false);
  EXPECT_EQ(gst_plugin_feature_get_rank(feature), guint(GST_RANK_NONE));
  EXPECT_FALSE(ChosenAutomatically(factory));
  // Again: the rank given back later is still the first one.
  SetHardwareDecoding(false);
  SetHardwareDecoding(true);
  EXPECT_EQ(gst_plugin_feature_get_rank(feature), guint(GST_RANK_PRIMARY + 1));
  EXPECT_TRUE(ChosenAutomatically(factory));
  SetHardwareDecoding(true);
  EXPECT_EQ(gst_plugin_feature_get_rank(feature), guint(GST_RANK_PRIMARY + 1));

  // Software decoders are never touched.
  GstElementFactory* software = gst_element_factory_find("jpegdec");
  ASSERT_NE(software, nullptr);
  const guint rank = gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(software));
  SetHardwareDecoding(false);
  EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(software)), rank);
  SetHardwareDecoding(true);
  gst_object_unref(software);
  gst_object_unref(factory);
}

TEST(HardwareDecoders, OnlyZeroInTheEnvironmentTurnsThemOff) {
  const QByteArray before = qgetenv("CINVO_HARDWARE_DECODING");
  qunsetenv("CINVO_HARDWARE_DECODING");
  EXPECT_TRUE(HardwareDecodingAllowed());
  qputenv("CINVO_HARDWARE_DECODING", "1");
  EXPECT_TRUE(HardwareDecodingAllowed());
  qputenv("CINVO_HARDWARE_DECODING", " 0 ");
  EXPECT_FALSE(HardwareDecodingAllowed());
  if (before.isNull()) qunsetenv("CINVO_HARDWARE_DECODING");
  else qputenv("CINVO_HARDWARE_DECODING", before);
}
