// The graph's events: bus messages queued on the posting thread, drained on
// the user-interface thread when the posted message arrives, translated
// into event codes and dispatched to listeners and handlers.
#include <QEvent>

#include "framework/qs_application.h"
#include "framework/qs_messages.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_internal.h"

using namespace graphinternal;

// ------------------------------------------------------------- events

GstPadProbeReturn TFilterGraph::OnVideoCaps(GstPad* pad, GstPadProbeInfo* info, gpointer) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  gint width = 0, height = 0;
  const GstStructure* s = caps && gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  if (!s || !gst_structure_get_int(s, "width", &width) || !gst_structure_get_int(s, "height", &height))
    return GST_PAD_PROBE_OK;
  // The size a stream starts with is not a change; a later different one is.
  const intptr_t size = (width & 0xFFFF) | ((height & 0xFFFF) << 16);
  const intptr_t previous = reinterpret_cast<intptr_t>(g_object_get_data(G_OBJECT(pad), "cinvo-video-size"));
  g_object_set_data(G_OBJECT(pad), "cinvo-video-size", reinterpret_cast<gpointer>(size));
  if (previous == 0 || previous == size) return GST_PAD_PROBE_OK;
  if (GstElement* element = gst_pad_get_parent_element(pad)) {
    GstStructure* message = gst_structure_new(kGraphEvent, "code", G_TYPE_LONG, long(EC_VIDEO_SIZE_CHANGED), "param1",
                                              G_TYPE_INT64, gint64(size), "param2", G_TYPE_INT64, gint64(0), nullptr);
    gst_element_post_message(element, gst_message_new_application(GST_OBJECT(element), message));
    gst_object_unref(element);
  }
  return GST_PAD_PROBE_OK;
}

GstBusSyncReply TFilterGraph::BusSyncHandler(GstBus*, GstMessage* message, gpointer data) {
  auto* self = static_cast<TFilterGraph*>(data);
  std::shared_ptr<RenderJob> job;
  {
    std::lock_guard lock(self->fJobMutex);
    job = self->fRenderJob;
  }
  if (job) {
    // While a file is being rendered its errors are the rendering's result,
    // not graph events.
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
      GError* error = nullptr;
      gchar* debug = nullptr;
      gst_message_parse_error(message, &error, &debug);
      {
        std::lock_guard lock(job->mutex);
        if (job->error == S_OK) {
          job->error = ResultOfError(error);
          job->errorDetail = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(error ? error->message : ""),
                                                           QString::fromUtf8(debug ? debug : ""));
        }
        job->wake.notify_all();
      }
      if (error) g_error_free(error);
      g_free(debug);
      return GST_BUS_DROP;
    }
    std::lock_guard lock(job->mutex);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE || GST_MESSAGE_TYPE(message) == GST_MESSAGE_STATE_CHANGED) {
      ++job->stateChanges;
      job->wake.notify_all();
    }
    // Kept with the rendering until it is known whether it succeeded:
    // nothing of a failed one may reach the listeners.
    if (!job->finishedEvents) {
      job->events.push_back(gst_message_ref(message));
      return GST_BUS_DROP;
    }
  }
  // Queued first, then the receiver is told, so a drain never misses it.
  bool notify = false;
  {
    std::lock_guard lock(self->fEventMutex);
    self->fEvents.push_back(gst_message_ref(message));
    notify = !self->fNotifyPending;
    self->fNotifyPending = true;
  }
  if (notify) PostWindowMessage(self, WM_GRAPHNOTIFY, 0, 0);
  return GST_BUS_DROP;
}

bool TFilterGraph::event(QEvent* e) {
  if (TqsMessageEvent::MessageOf(e) == WM_GRAPHNOTIFY) {
    DrainEvents();
    return true;
  }
  return QObject::event(e);
}

void TFilterGraph::PostGraphEvent(long code, intptr_t param1, intptr_t param2) {
  if (!fGraph) return;
  GstStructure* s = gst_structure_new(kGraphEvent, "code", G_TYPE_LONG, code, "param1", G_TYPE_INT64,
                                      static_cast<gint64>(param1), "param2", G_TYPE_INT64,
                                      static_cast<gint64>(param2), nullptr);
  gst_element_post_message(GST_ELEMENT(fGraph), gst_message_new_application(GST_OBJECT(fGraph), s));
}

void TFilterGraph::QueueEvents(std::vector<GstMessage*> messages) {
  if (messages.empty()) return;
  bool notify = false;
  {
    std::lock_guard lock(fEventMutex);
    for (GstMessage* message : messages) fEvents.push_back(message);
    notify = !fNotifyPending;
    fNotifyPending = true;
  }
  if (notify) PostWindowMessage(this, WM_GRAPHNOTIFY, 0, 0);
}

GstMessage* TFilterGraph::NextEvent() {
  std::lock_guard lock(fEventMutex);
  if (fEvents.empty()) {
    fNotifyPending = false;
    return nullptr;
  }
  GstMessage* message = fEvents.front();
  fEvents.pop_front();
  return message;
}

void TFilterGraph::ClearEvents() {
  std::lock_guard lock(fEventMutex);
  for (GstMessage* message : fEvents) gst_message_unref(message);
  fEvents.clear();
  // A notification still on its way may arrive with no graph to drain and
  // would leave the flag set: the next graph's events would never be posted.
  fNotifyPending = false;
}

void TFilterGraph::DrainEvents() {
  while (fGraph) {
    GstMessage* message = NextEvent();
    if (!message) break;
    long code = 0;
    intptr_t param1 = 0;
    intptr_t param2 = 0;
    const bool known = TranslateMessage(message, &code, &param1, &param2);
    gst_message_unref(message);
    if (!known) continue;
    try {
      Dispatch(code, param1, param2);
    } catch (const Exception& error) {
      // Shown, and the pump goes on.
      ShowErrorMessage(error.Message());
    } catch (const std::exception& error) {
      ShowErrorMessage(QString::fromUtf8(error.what()));
    }
  }
}

bool TFilterGraph::TranslateMessage(GstMessage* message, long* code, intptr_t* param1, intptr_t* param2) {
  const bool fromGraph = GST_MESSAGE_SRC(message) == GST_OBJECT(fGraph);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      *code = EC_COMPLETE;
      *param1 = S_OK;
      return true;
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gst_message_parse_error(message, &error, nullptr);
      *code = EC_ERRORABORT;
      *param1 = ResultOfError(error);
      Log(QStringLiteral("Error: %1").arg(QString::fromUtf8(error ? error->message : "")));
      if (error) g_error_free(error);
      return true;
    }
    case GST_MESSAGE_WARNING: {
      GError* error = nullptr;
      gst_message_parse_warning(message, &error, nullptr);
      *code = EC_ERROR_STILLPLAYING;
      *param1 = ResultOfError(error);
      if (error) g_error_free(error);
      return true;
    }
    case GST_MESSAGE_BUFFERING: {
      gint percent = 100;
      gst_message_parse_buffering(message, &percent);
      *code = EC_BUFFERING_DATA;
      *param1 = percent < 100 ? 1 : 0;
      return true;
    }
    case GST_MESSAGE_CLOCK_LOST:
      // Pick a new clock by pausing and running again.
      if (fGraph && GraphState() == 3) {
        gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PAUSED);
        gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PLAYING);
      }
      *code = EC_CLOCK_UNSET;
      return true;
    case GST_MESSAGE_STATE_CHANGED: {
      if (!fromGraph) return false;
      GstState oldState, newState, pending;
      gst_message_parse_state_changed(message, &oldState, &newState, &pending);
      if (newState == GST_STATE_PLAYING && fClockChangePending &&
          gst_util_seqnum_compare(gst_message_get_seqnum(message), fRenderedSeqnum) > 0) {
        // The first run of a newly built graph.
        fClockChangePending = false;
        *code = EC_CLOCK_CHANGED;
        return true;
      }
      if (newState == GST_STATE_PAUSED && pending == GST_STATE_VOID_PENDING && fPausePending) {
        fPausePending = false;
        *code = EC_PAUSED;
        *param1 = S_OK;
        return true;
      }
      return false;
    }
    case GST_MESSAGE_APPLICATION: {
      const GstStructure* s = gst_message_get_structure(message);
      if (!s || !gst_structure_has_name(s, kGraphEvent)) return false;
      glong c = 0;
      gint64 p1 = 0, p2 = 0;
      gst_structure_get(s, "code", G_TYPE_LONG, &c, "param1", G_TYPE_INT64, &p1, "param2", G_TYPE_INT64, &p2,
                        nullptr);
      *code = c;
      *param1 = static_cast<intptr_t>(p1);
      *param2 = static_cast<intptr_t>(p2);
      return true;
    }
    default:
      return false;
  }
}

void TFilterGraph::Dispatch(long code, intptr_t param1, intptr_t param2) {
  const std::vector<IGraphListener*> listeners = fListeners;
  for (IGraphListener* listener : listeners) {
    if (std::find(fListeners.begin(), fListeners.end(), listener) != fListeners.end())
      listener->HandleGraphEvent(code, param1, param2);
  }
  if (fOnDSEvent) fOnDSEvent(this, code, param1, param2);
  switch (code) {
    case EC_COMPLETE:
      if (fOnGraphComplete) fOnGraphComplete(this, static_cast<HRESULT>(param1), reinterpret_cast<GstElement*>(param2));
      break;
    case EC_USERABORT:
      if (fOnGraphUserAbort) fOnGraphUserAbort(this);
      break;
    case EC_ERRORABORT:
      if (fOnGraphErrorAbort) fOnGraphErrorAbort(this, static_cast<HRESULT>(param1));
      break;
    case EC_STREAM_ERROR_STOPPED:
      if (fOnGraphStreamErrorStopped) fOnGraphStreamErrorStopped(this, param1, param2);
      break;
    case EC_STREAM_ERROR_STILLPLAYING:
      if (fOnGraphStreamErrorStillPlaying) fOnGraphStreamErrorStillPlaying(this, param1, param2);
      break;
    case EC_ERROR_STILLPLAYING:
      if (fOnGraphErrorStillPlaying) fOnGraphErrorStillPlaying(this, static_cast<HRESULT>(param1));
      break;
    case EC_PALETTE_CHANGED:
      if (fOnGraphPaletteChanged) fOnGraphPaletteChanged(this);
      break;
    case EC_VIDEO_SIZE_CHANGED:
      if (fOnGraphVideoSizeChanged) fOnGraphVideoSizeChanged(this, param1 & 0xFFFF, (param1 >> 16) & 0xFFFF);
      break;
    case EC_QUALITY_CHANGE:
      if (fOnGraphQualityChange) fOnGraphQualityChange(this);
      break;
    case EC_CLOCK_CHANGED:
      if (fOnGraphClockChanged) fOnGraphClockChanged(this);
      break;
    case EC_PAUSED:
      if (fOnGraphPaused) fOnGraphPaused(this, static_cast<HRESULT>(param1));
      break;
    case EC_OPENING_FILE:
      if (fOnGraphOpeningFile) fOnGraphOpeningFile(this, param1 != 0);
      break;
    case EC_BUFFERING_DATA:
      if (fOnGraphBufferingData) fOnGraphBufferingData(this, param1 != 0);
      break;
    case EC_FULLSCREEN_LOST:
      if (fOnGraphFullscreenLost) fOnGraphFullscreenLost(this, param2);
      break;
    case EC_OLE_EVENT:
      if (fOnGraphOleEvent) fOnGraphOleEvent(this, param1, param2);
      break;
    case EC_STREAM_CONTROL_STOPPED:
      if (fOnGraphStreamControlStopped) fOnGraphStreamControlStopped(this, param1, param2);
      break;
    case EC_STREAM_CONTROL_STARTED:
      if (fOnGraphStreamControlStarted) fOnGraphStreamControlStarted(this, param1, param2);
      break;
    case EC_END_OF_SEGMENT:
      if (fOnGraphEndOfSegment)
        fOnGraphEndOfSegment(this, param1 ? *reinterpret_cast<const int64_t*>(param1) : 0, param2);
      break;
    case EC_DEVICE_LOST:
      if (fOnGraphDeviceLost) fOnGraphDeviceLost(this, param1, param2 == 1);
      break;
    case EC_STEP_COMPLETE:
      if (fOnGraphStepComplete) fOnGraphStepComplete(this);
      break;
    case EC_TIMECODE_AVAILABLE:
      if (fOnGraphTimeCodeAvailable) fOnGraphTimeCodeAvailable(this, param1, param2);
      break;
    case EC_EXTDEVICE_MODE_CHANGE:
      if (fOnGraphEXTDeviceModeChange) fOnGraphEXTDeviceModeChange(this, param1, param2);
      break;
    case EC_GRAPH_CHANGED:
      if (fOnGraphChanged) fOnGraphChanged(this);
      break;
    case EC_CLOCK_UNSET:
      if (fOnGraphClockUnset) fOnGraphClockUnset(this);
      break;
    case EC_VMR_RENDERDEVICE_SET:
      if (fOnGraphVMRRenderDevice) fOnGraphVMRRenderDevice(this, param1);
      break;
    case EC_SNDDEV_IN_ERROR:
      if (fOnGraphSNDDevInError) fOnGraphSNDDevInError(this, param1, param2);
      break;
    case EC_SNDDEV_OUT_ERROR:
      if (fOnGraphSNDDevOutError) fOnGraphSNDDevOutError(this, param1, param2);
      break;
    default:
      break;
  }
}
