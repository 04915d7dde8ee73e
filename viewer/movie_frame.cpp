#include "viewer/movie_frame.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <QFileInfo>
#include <QUrl>

#include <memory>

#include "platform/file_check.h"

namespace {

// Enough for a large movie on a busy machine; a damaged file that hangs a
// decoder is given up, not waited for.
constexpr GstClockTime kStepTimeout = 15 * GST_SECOND;
// playbin's flag for decoding the picture only: no sound, no subtitles.
constexpr guint kVideoOnly = 1u << 0;

struct TUnref {
  void operator()(GstElement* e) const {
    gst_element_set_state(e, GST_STATE_NULL);
    gst_object_unref(e);
  }
  void operator()(GstBus* b) const { gst_object_unref(b); }
  void operator()(GstSample* s) const { gst_sample_unref(s); }
};
template <typename T>
using TOwned = std::unique_ptr<T, TUnref>;

// Waits for the pipeline to settle after a state change or seek; false with
// the decoder's message on an error.
bool Settled(GstBus* bus, QString* error) {
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, kStepTimeout, GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
  if (!message) {
    *error = QStringLiteral("the movie could not be decoded in time");
    return false;
  }
  const bool ok = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE;
  if (!ok) {
    GError* failure = nullptr;
    gst_message_parse_error(message, &failure, nullptr);
    *error = failure ? QString::fromUtf8(failure->message) : QStringLiteral("the movie cannot be decoded");
    if (failure) g_error_free(failure);
  }
  gst_message_unref(message);
  return ok;
}

QImage ToImage(GstSample* sample, QString* error) {
  GstVideoInfo info;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
      GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_RGBx) {
    *error = QStringLiteral("the picture cannot be read");
    return {};
  }
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
    *error = QStringLiteral("the picture cannot be read");
    return {};
  }
  QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), info.width, info.height,
               GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGBX8888);
  image = image.copy();  // the frame is unmapped below
  gst_video_frame_unmap(&frame);
  // Pixels that are not square are shown wider or narrower.
  const gint parN = info.par_n > 0 ? info.par_n : 1, parD = info.par_d > 0 ? info.par_d : 1;
  if (parN != parD)
    image = image.scaled(qMax(1, int(qint64(info.width) * parN / parD)), info.height, Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QImage PreviewFrameOf(const QString& fileName, int size, QString* error) {
  QString ignored;
  if (!error) error = &ignored;
  error->clear();
  // Only a regular file is opened: a named pipe would wait for ever.
  const platform::TFileKind kind = platform::CheckReadableFile(QFile::encodeName(fileName)).Kind;
  if (kind != platform::TFileKind::Regular) {
    *error = kind == platform::TFileKind::Missing ? QStringLiteral("no such file") : platform::WhyNoMovieFile(kind);
    return {};
  }
  GError* initError = nullptr;
  if (!gst_init_check(nullptr, nullptr, &initError)) {
    *error = initError ? QString::fromUtf8(initError->message) : QStringLiteral("GStreamer cannot start");
    if (initError) g_error_free(initError);
    return {};
  }
  TOwned<GstElement> player(gst_element_factory_make("playbin", nullptr));
  // The picture in the pixel layout of our images, converted in the graph.
  GstElement* sink = gst_parse_bin_from_description("videoconvert ! video/x-raw,format=RGBx ! fakesink", TRUE, nullptr);
  if (!player || !sink) {
    if (sink) gst_object_unref(sink);
    *error = QStringLiteral("the GStreamer base plugins are missing");
    return {};
  }
  const QByteArray uri = QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()).toEncoded();
  g_object_set(player.get(), "uri", uri.constData(), "video-sink", sink, "flags", kVideoOnly, nullptr);
  TOwned<GstBus> bus(gst_element_get_bus(player.get()));

  if (gst_element_set_state(player.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
    Settled(bus.get(), error);  // the reason, when there is one
    if (error->isEmpty()) *error = QStringLiteral("the movie cannot be opened");
    return {};
  }
  if (!Settled(bus.get(), error)) return {};
  // Where the preview starts: one twelfth of the length, to the frame.
  gint64 length = 0;
  if (gst_element_query_duration(player.get(), GST_FORMAT_TIME, &length) && length > 0) {
    if (gst_element_seek_simple(player.get(), GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), length / 12) &&
        !Settled(bus.get(), error))
      return {};
  }
  GstSample* raw = nullptr;
  g_object_get(player.get(), "sample", &raw, nullptr);
  TOwned<GstSample> sample(raw);
  if (!sample) {
    *error = QStringLiteral("the movie has no picture");
    return {};
  }
  QImage image = ToImage(sample.get(), error);
  if (image.isNull()) return {};
  if (size > 0 && (image.width() > size || image.height() > size))
    image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}
