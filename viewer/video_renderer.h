#pragma once
// The video window's own renderer: a bin of type CLSID_VideoRenderer,
// "videoconvert ! videoscale ! videoconvert ! capsfilter ! appsink", with one
// input pin "sink" that takes any raw video. Decoded frames (BGRx) are kept
// in a one-frame slot: only the latest one is handed to the window, which is
// woken by a posted event and paints it itself. The streaming threads touch
// nothing but the slot.
//
// It also keeps the source rectangle (the part of the picture that is
// shown), in the picture's own pixels.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <QEvent>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>

#include <memory>

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

  // The latest frame, wrapping the decoded buffer without a copy (it stays
  // mapped as long as an image shares it); null when none arrived yet.
  // Takes it out of the slot: a later call answers the same frame again.
  QImage CurrentFrame();
  // The picture size (before scaling) of the frame CurrentFrame answers.
  QSize FrameVideoSize() const { return fLastFrameVideoSize; }
  // The size of the decoded picture (before scaling) and its pixel aspect
  // ratio; empty before the first frame.
  QSize VideoSize() const;
  QSize PixelAspect() const;  // (numerator, denominator), 1:1 when unknown
  // Frames handed over by the streaming thread / taken by the window.
  quint64 FramesDelivered() const;
  quint64 FramesTaken() const { return fFramesTaken; }

  // Frames larger than this are scaled down by the graph before they reach
  // the window; an empty size (or one not smaller) keeps the decoded size.
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

  GstElement* fFilter = nullptr;
  GstElement* fCapsFilter = nullptr;
  std::shared_ptr<Slot> fSlot;
  QSize fScaleLimit;
  GstPad* fWatchedPad = nullptr;  // referenced
  gulong fWatchProbe = 0;
  QRect fSource;  // in picture pixels; follows the picture while default
  bool fDefaultSource = true;
  quint64 fFramesTaken = 0;
  QImage fLastFrame;
  QSize fLastFrameVideoSize;
};
