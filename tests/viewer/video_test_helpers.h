#pragma once
// Small movies of plain pictures for the video window's tests, and pixel
// helpers.
#include <gst/gst.h>

#include <QDir>
#include <QImage>
#include <QString>

#include "tests/support/test_env.h"

namespace videotest {

// An MJPEG AVI of `frames` pictures at 10 fps, `width` x `height`, made by
// videotestsrc with `pattern` (e.g. "pattern=white"); empty on failure.
inline QString PlainMovie(const QString& name, int width, int height, const QString& pattern, int frames = 20) {
  static const QString dir = testenv::NewTempDir(QStringLiteral("movies"));
  const QString path = QDir(dir).filePath(name + QStringLiteral(".avi"));
  if (QFile::exists(path)) return path;
  gst_init(nullptr, nullptr);
  const QString description =
      QStringLiteral("videotestsrc num-buffers=%1 %2 ! video/x-raw,format=I420,width=%3,height=%4,framerate=10/1,"
                     "pixel-aspect-ratio=1/1 ! jpegenc quality=95 ! avimux ! filesink location=\"%5\"")
          .arg(frames)
          .arg(pattern)
          .arg(width)
          .arg(height)
          .arg(path);
  GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
  if (!pipeline) return QString();
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message =
      gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (message) gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok ? path : QString();
}

inline int Gray(QRgb c) { return (qRed(c) + qGreen(c) + qBlue(c)) / 3; }
inline bool IsBlack(QRgb c) { return qRed(c) < 24 && qGreen(c) < 24 && qBlue(c) < 24; }
inline bool IsWhite(QRgb c) { return qRed(c) > 230 && qGreen(c) > 230 && qBlue(c) > 230; }

}  // namespace videotest
