#include "viewer/video_renderer.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QCoreApplication>
#include <QEvent>


#include <mutex>

const char* const CLSID_VideoRenderer = "CinvoVideoRenderer";

namespace {

constexpr const char* kOwner = "cinvo-video-renderer";

GType RendererType() {
  static const GType type = g_type_register_static_simple(GST_TYPE_BIN, CLSID_VideoRenderer, sizeof(GstBinClass),
                                                          nullptr, sizeof(GstBin), nullptr, GTypeFlags(0));
  return type;
}

// Larger paint sizes (a strong digital zoom) are left to the painter, which
// enlarges only the part it shows.
constexpr qint64 kMaxPaintPixels = 3840 * 2160;

}  // namespace

// What the streaming threads share with the user-interface thread.
struct TVideoRenderer::Slot {
  std::mutex mutex;
  QObject* receiver = nullptr;
  bool wakePending = false;
  GstSample* sample = nullptr;  // the latest frame, not yet taken
  QSize sampleVideoSize;        // the picture size that frame was decoded at
  QSize videoSize;
  QSize pixelAspect{1, 1};
  bool watchedUpstream = false;  // the size comes from a pad before the renderer
  quint64 delivered = 0;

  ~Slot() {
    if (sample) gst_sample_unref(sample);
  }
  void Wake() {
    // Under the mutex: the receiver clears itself under it before it goes.
    if (receiver && !wakePending) {
      wakePending = true;
      QCoreApplication::postEvent(receiver, new QEvent(TVideoRenderer::FrameEventType()));
    }
  }
  void Store(GstSample* pulled) {
    if (!pulled) return;
    // A sample of our own around the same buffer: the sink reuses the one
    // it hands out, and must find it writable again.
    GstSample* newSample = gst_sample_new(gst_sample_get_buffer(pulled), gst_sample_get_caps(pulled), nullptr, nullptr);
    gst_sample_unref(pulled);
    std::lock_guard lock(mutex);
    if (sample) gst_sample_unref(sample);
    sample = newSample;
    sampleVideoSize = videoSize;
    ++delivered;
    Wake();
  }
};

QEvent::Type TVideoRenderer::FrameEventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// The frame the window shows, mapped for reading while it is current.
struct TVideoRenderer::TFrame {
  GstSample* sample = nullptr;
  GstVideoFrame frame{};
  ~TFrame() {
    if (!sample) return;
    gst_video_frame_unmap(&frame);
    gst_sample_unref(sample);
  }
};

TVideoRenderer::TVideoRenderer() : fSlot(std::make_shared<Slot>()) {
  fFilter = GST_ELEMENT(g_object_new(RendererType(), nullptr));
  gst_object_ref_sink(fFilter);
  g_object_set_data(G_OBJECT(fFilter), kOwner, this);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* layouts = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!convert || !layouts || !sink) {
    for (GstElement* e : {convert, layouts, sink})
      if (e) gst_object_unref(e);
    return;  // an empty bin: the graph cannot connect video to it
  }
  // Scaling and the conversion to pixels happen while painting, much faster
  // than here; the graph converts only layouts the window does not know.
  GstCaps* caps = gst_caps_from_string(QByteArray("video/x-raw,format=") + ConvertibleFormats());
  g_object_set(layouts, "caps", caps, nullptr);
  gst_caps_unref(caps);
  g_object_set(sink, "sync", TRUE, "qos", TRUE, "max-buffers", 1u, "drop", TRUE, "enable-last-sample", FALSE,
               nullptr);
  gst_bin_add_many(GST_BIN(fFilter), convert, layouts, sink, nullptr);
  gst_element_link_many(convert, layouts, sink, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &TVideoRenderer::OnNewSample;
  callbacks.new_preroll = &TVideoRenderer::OnNewPreroll;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new std::shared_ptr<Slot>(fSlot),
                             [](gpointer data) { delete static_cast<std::shared_ptr<Slot>*>(data); });
  GstPad* target = gst_element_get_static_pad(convert, "sink");
  GstPad* input = gst_ghost_pad_new("sink", target);
  gst_object_unref(target);
  AddCapsWatch(input, fSlot, false);
  gst_element_add_pad(fFilter, input);
}

TVideoRenderer::~TVideoRenderer() {
  WatchPicture(nullptr);
  SetReceiver(nullptr);
  fImage = QImage();
  fFrame.reset();
  if (!fFilter) return;
  g_object_set_data(G_OBJECT(fFilter), kOwner, nullptr);
  if (GstObject* parent = gst_object_get_parent(GST_OBJECT(fFilter))) {
    // Still in a graph: it goes down with the graph, not here.
    gst_object_unref(parent);
  } else {
    gst_element_set_state(fFilter, GST_STATE_NULL);
  }
  gst_object_unref(fFilter);
}

TVideoRenderer* TVideoRenderer::FromFilter(GstElement* filter) {
  if (!filter || !G_TYPE_CHECK_INSTANCE_TYPE(filter, RendererType())) return nullptr;
  return static_cast<TVideoRenderer*>(g_object_get_data(G_OBJECT(filter), kOwner));
}

void TVideoRenderer::SetReceiver(QObject* receiver) {
  std::lock_guard lock(fSlot->mutex);
  fSlot->receiver = receiver;
  fSlot->wakePending = false;
  if (receiver && fSlot->sample) fSlot->Wake();
}

GstFlowReturn TVideoRenderer::OnNewSample(GstAppSink* sink, gpointer slot) {
  (*static_cast<std::shared_ptr<Slot>*>(slot))->Store(gst_app_sink_pull_sample(sink));
  return GST_FLOW_OK;
}

GstFlowReturn TVideoRenderer::OnNewPreroll(GstAppSink* sink, gpointer slot) {
  (*static_cast<std::shared_ptr<Slot>*>(slot))->Store(gst_app_sink_pull_preroll(sink));
  return GST_FLOW_OK;
}

struct TVideoRenderer::CapsWatch {
  std::shared_ptr<Slot> slot;
  bool upstream;
  void Take(GstCaps* caps) {
    GstVideoInfo video;
    if (!caps || !gst_video_info_from_caps(&video, caps)) return;
    std::lock_guard lock(slot->mutex);
    if (slot->watchedUpstream != upstream) return;
    slot->videoSize = QSize(video.width, video.height);
    slot->pixelAspect = video.par_n > 0 && video.par_d > 0 ? QSize(video.par_n, video.par_d) : QSize(1, 1);
  }
};

gulong TVideoRenderer::AddCapsWatch(GstPad* pad, const std::shared_ptr<Slot>& slot, bool upstream) {
  return gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &TVideoRenderer::OnCaps,
                           new CapsWatch{slot, upstream},
                           [](gpointer data) { delete static_cast<CapsWatch*>(data); });
}

GstPadProbeReturn TVideoRenderer::OnCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  static_cast<CapsWatch*>(data)->Take(caps);
  return GST_PAD_PROBE_OK;
}

void TVideoRenderer::WatchPicture(GstPad* pad) {
  if (pad == fWatchedPad) return;
  if (fWatchedPad) {
    gst_pad_remove_probe(fWatchedPad, fWatchProbe);
    gst_object_unref(fWatchedPad);
    fWatchedPad = nullptr;
    fWatchProbe = 0;
  }
  {
    std::lock_guard lock(fSlot->mutex);
    fSlot->watchedUpstream = pad != nullptr;
  }
  GstPad* own = fFilter ? gst_element_get_static_pad(fFilter, "sink") : nullptr;
  GstPad* source = pad ? pad : own;
  if (pad) {
    fWatchedPad = GST_PAD(gst_object_ref(pad));
    fWatchProbe = AddCapsWatch(pad, fSlot, true);
  }
  // What already passed is not seen again by the probe.
  if (source) {
    if (GstCaps* caps = gst_pad_get_current_caps(source)) {
      CapsWatch{fSlot, pad != nullptr}.Take(caps);
      gst_caps_unref(caps);
    }
  }
  if (own) gst_object_unref(own);
}

bool TVideoRenderer::TakeFrame() {
  GstSample* sample = nullptr;
  QSize videoSize;
  {
    std::lock_guard lock(fSlot->mutex);
    sample = fSlot->sample;
    videoSize = fSlot->sampleVideoSize;
    fSlot->sample = nullptr;
    fSlot->wakePending = false;
  }
  if (!sample) return false;
  auto frame = std::make_unique<TFrame>();
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(sample);
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  if (!caps || !buffer || !gst_video_info_from_caps(&info, caps) ||
      !IsConvertibleFormat(GST_VIDEO_INFO_FORMAT(&info)) ||
      !gst_video_frame_map(&frame->frame, &info, buffer, GST_MAP_READ)) {
    gst_sample_unref(sample);
    return false;
  }
  frame->sample = sample;
  // The one before is unmapped only now: an image may still have shown it.
  fFrame = std::move(frame);
  fImageCurrent = false;
  fLastFrameVideoSize = videoSize;
  ++fFramesTaken;
  return true;
}

QSize TVideoRenderer::FrameSize() const {
  if (!fFrame) return QSize();
  const QSize own(GST_VIDEO_FRAME_WIDTH(&fFrame->frame), GST_VIDEO_FRAME_HEIGHT(&fFrame->frame));
  if (fScaleLimit.isEmpty() || qint64(fScaleLimit.width()) * fScaleLimit.height() > kMaxPaintPixels) return own;
  return fScaleLimit;
}

QImage TVideoRenderer::FrameImage() const {
  if (!fFrame) return QImage();
  const QSize size = FrameSize();
  if (fImageCurrent && fImage.size() == size) return fImage;
  // The pixels of the frame before serve again unless someone still holds
  // them: a new image every frame would fault in fresh memory each time.
  if (fImage.size() != size || !fImage.isDetached()) fImage = QImage(size, QImage::Format_RGB32);
  fImageCurrent = !fImage.isNull() && PaintFrame(fImage, QPoint(0, 0));
  if (!fImageCurrent) fImage = QImage();
  return fImage;
}

bool TVideoRenderer::PaintFrame(QImage& target, const QPoint& at) const {
  const QSize size = FrameSize();
  const QImage::Format format = target.format();
  if (!fFrame || size.isEmpty() || !QRect(QPoint(0, 0), target.size()).contains(QRect(at, size)) ||
      (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
       format != QImage::Format_ARGB32_Premultiplied))
    return false;
  uint8_t* dest = target.bits() + qsizetype(at.y()) * target.bytesPerLine() + qsizetype(at.x()) * 4;
  return ConvertFrame(fFrame->frame, size, dest, static_cast<int>(target.bytesPerLine()), fScratch);
}

QSize TVideoRenderer::VideoSize() const {
  std::lock_guard lock(fSlot->mutex);
  return fSlot->videoSize;
}

QSize TVideoRenderer::PixelAspect() const {
  std::lock_guard lock(fSlot->mutex);
  return fSlot->pixelAspect;
}

quint64 TVideoRenderer::FramesDelivered() const {
  std::lock_guard lock(fSlot->mutex);
  return fSlot->delivered;
}

void TVideoRenderer::SetScaleLimit(const QSize& size) { fScaleLimit = size.isEmpty() ? QSize() : size; }

// ------------------------------------------------------------ source

QRect TVideoRenderer::SourceRect() const {
  const QSize video = VideoSize();
  if (fDefaultSource) return QRect(QPoint(0, 0), video);
  // A picture that changed size keeps what of the rectangle still lies in it.
  const QRect inside = fSource & QRect(QPoint(0, 0), video);
  return inside.isEmpty() ? QRect(QPoint(0, 0), video) : inside;
}

HRESULT TVideoRenderer::SetDefaultSourcePosition() {
  fDefaultSource = true;
  fSource = QRect();
  return S_OK;
}

HRESULT TVideoRenderer::GetSourcePosition(long* left, long* top, long* width, long* height) const {
  if (!left || !top || !width || !height) return E_POINTER;
  const QRect r = SourceRect();
  *left = r.left();
  *top = r.top();
  *width = r.width();
  *height = r.height();
  return VideoSize().isEmpty() ? E_NOT_CONNECTED : S_OK;
}

HRESULT TVideoRenderer::SetSourcePosition(long left, long top, long width, long height) {
  const QSize video = VideoSize();
  if (video.isEmpty()) return E_NOT_CONNECTED;
  if (left < 0 || top < 0 || width <= 0 || height <= 0 || left + width > video.width() ||
      top + height > video.height())
    return E_INVALIDARG;
  const QRect r(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width), static_cast<int>(height));
  fDefaultSource = r == QRect(QPoint(0, 0), video);
  fSource = r;
  return S_OK;
}

HRESULT TVideoRenderer::get_SourceLeft(long* value) const {
  if (!value) return E_POINTER;
  *value = SourceRect().left();
  return S_OK;
}
HRESULT TVideoRenderer::get_SourceTop(long* value) const {
  if (!value) return E_POINTER;
  *value = SourceRect().top();
  return S_OK;
}
HRESULT TVideoRenderer::get_SourceWidth(long* value) const {
  if (!value) return E_POINTER;
  *value = SourceRect().width();
  return S_OK;
}
HRESULT TVideoRenderer::get_SourceHeight(long* value) const {
  if (!value) return E_POINTER;
  *value = SourceRect().height();
  return S_OK;
}
HRESULT TVideoRenderer::put_SourceLeft(long value) {
  const QRect r = SourceRect();
  return SetSourcePosition(value, r.top(), r.width(), r.height());
}
HRESULT TVideoRenderer::put_SourceTop(long value) {
  const QRect r = SourceRect();
  return SetSourcePosition(r.left(), value, r.width(), r.height());
}
HRESULT TVideoRenderer::put_SourceWidth(long value) {
  const QRect r = SourceRect();
  return SetSourcePosition(r.left(), r.top(), value, r.height());
}
HRESULT TVideoRenderer::put_SourceHeight(long value) {
  const QRect r = SourceRect();
  return SetSourcePosition(r.left(), r.top(), r.width(), value);
}

HRESULT TVideoRenderer::GetVideoSize(long* width, long* height) const {
  if (!width || !height) return E_POINTER;
  const QSize video = VideoSize();
  *width = video.width();
  *height = video.height();
  return video.isEmpty() ? E_NOT_CONNECTED : S_OK;
}
