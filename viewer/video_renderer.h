#pragma once
// The video window's own renderer: a bin of type CLSID_VideoRenderer,
// "videoconvert ! capsfilter ! appsink", with one input pin "sink" that
// takes any raw video. Decoded frames reach the window in one of the
// layouts it converts itself (most decoders' own, so the converter passes
// them through untouched), kept in a one-frame slot: only the latest one is
// handed to the window, which is woken by a posted event, then scales and
// converts the frame while it paints. The streaming threads touch nothing
// but the slot.
//
// It also keeps the source rectangle (the part of the picture that is
// shown), in the picture's own pixels.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QEvent>
#include <QImage>
#include <QPoint>
#include <QObject>
#include <QRect>
#include <QSize>

#include <memory>

#include "viewer/frame_conversion.h"
#include "viewer/graph_utils.h"

extern const char* const CLSID_VideoRenderer;

class TVideoRenderer {
 public:
  TVideoRenderer();
  ~TVideoRenderer();
  TVideoRenderer(const TVideoRenderer&) = delete;
  TVideoRenderer& operator=(const TVideoRenderer&) = delete;

  // The filter (the renderer keeps its own reference).
  GstElement* Filter() const { return fFilter; }
  // The renderer a filter belongs to, or nullptr.
  static TVideoRenderer* FromFilter(GstElement* filter);

  // Who is woken (by a posted event of FrameEventType()) when a new frame
  // or a new picture size arrives; nullptr stops the wake-ups. The
  // receiver must clear itself before it is destroyed.
  void SetReceiver(QObject* receiver);
  static QEvent::Type FrameEventType();

  // Takes the latest frame out of the slot; false when none came since the
  // last call (the frame taken before stays the current one).
  bool TakeFrame();
  // Whether a frame was taken.
  bool HasFrame() const { return fFrame != nullptr; }
  // The size the current frame is painted at: the paint size when one is
  // set, else the frame's own; empty without a frame.
  QSize FrameSize() const;
  // The current frame at FrameSize() as an image (converted once per frame
  // and paint size); null without a frame.
  QImage FrameImage() const;
  // Converts the current frame at FrameSize() into `target` with its top
  // left corner at `at`; false (and nothing written) when there is no
  // frame or it does not fit.
  bool PaintFrame(QImage& target, const QPoint& at) const;
  // The picture size (before scaling) of the current frame.
  QSize FrameVideoSize() const { return fLastFrameVideoSize; }
  // The size of the decoded picture (before scaling) and its pixel aspect
  // ratio; empty before the first frame.
  QSize VideoSize() const;
  QSize PixelAspect() const;  // (numerator, denominator), 1:1 when unknown
  // Frames handed over by the streaming thread / taken by the window.
  quint64 FramesDelivered() const;
  quint64 FramesTaken() const { return fFramesTaken; }

  // The size the whole frame is painted at (smaller or larger than the
  // picture); an empty size paints it at its own size. The colour stage may
  // already have brought it to this size.
  void SetScaleLimit(const QSize& size);
  // Takes the picture size and aspect from `pad`, upstream of a stage that
  // may already scale the picture down, instead of from its own input; a
  // null pad goes back to its own input.
  void WatchPicture(GstPad* pad);
  QSize ScaleLimit() const { return fScaleLimit; }

  // Source rectangle operations. A rectangle outside the picture, or any
  // change before the picture size is known, is refused (E_INVALIDARG,
  // E_NOT_CONNECTED) and nothing changes.
  HRESULT SetDefaultSourcePosition();
  HRESULT IsUsingDefaultSource() const { return fDefaultSource ? S_OK : S_FALSE; }
  HRESULT GetSourcePosition(long* left, long* top, long* width, long* height) const;
  HRESULT SetSourcePosition(long left, long top, long width, long height);
  HRESULT get_SourceLeft(long* value) const;
  HRESULT put_SourceLeft(long value);
  HRESULT get_SourceTop(long* value) const;
  HRESULT put_SourceTop(long value);
  HRESULT get_SourceWidth(long* value) const;
  HRESULT put_SourceWidth(long value);
  HRESULT get_SourceHeight(long* value) const;
  HRESULT put_SourceHeight(long value);
  HRESULT GetVideoSize(long* width, long* height) const;
  // The source rectangle as it applies to the current picture size.
  QRect SourceRect() const;

 private:
  struct Slot;
  static GstFlowReturn OnNewSample(GstAppSink* sink, gpointer slot);
  static GstFlowReturn OnNewPreroll(GstAppSink* sink, gpointer slot);
  struct CapsWatch;
  static GstPadProbeReturn OnCaps(GstPad* pad, GstPadProbeInfo* info, gpointer watch);
  static gulong AddCapsWatch(GstPad* pad, const std::shared_ptr<Slot>& slot, bool upstream);

  struct TFrame;
  GstElement* fFilter = nullptr;
  std::shared_ptr<Slot> fSlot;
  QSize fScaleLimit;
  GstPad* fWatchedPad = nullptr;  // referenced
  gulong fWatchProbe = 0;
  QRect fSource;  // in picture pixels; follows the picture while default
  bool fDefaultSource = true;
  quint64 fFramesTaken = 0;
  std::unique_ptr<TFrame> fFrame;  // mapped while current
  QSize fLastFrameVideoSize;
  mutable QImage fImage;  // fFrame converted, made when first asked for
  mutable bool fImageCurrent = false;  // fImage shows fFrame
  mutable TConversionScratch fScratch;
};
