#pragma once
// What the media graph's own source files share: the state one rendering
// shares with the streaming threads that build the graph, the bounds of its
// waits, and the mapping of GStreamer errors onto result codes.
#include <gst/gst.h>

#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "viewer/filter_graph.h"

namespace graphinternal {


// How long rendering may take to open, build and preroll a file.
inline constexpr auto kRenderTimeout = std::chrono::seconds(15);
// How long a state change or a flushing seek may take to settle.
inline constexpr GstClockTime kSettleTimeout = 5 * GST_SECOND;
// How long Stop, EmptyGraph and closing wait for a state to settle: a
// stalled movie must not hold up the user-interface thread.
inline constexpr GstClockTime kQuickSettleTimeout = 250 * GST_MSECOND;
// How long a streaming thread waits for the user-interface thread to answer
// a builder question before taking the default answer.
inline constexpr auto kCallTimeout = std::chrono::seconds(5);

inline constexpr const char* kGraphEvent = "cinvo-graph-event";
HRESULT ResultOfError(const GError* error);

}  // namespace graphinternal

// What one RenderMediaFile shares with the streaming threads that build
// the graph.
struct TFilterGraph::RenderJob {
  TFilterGraph* graph = nullptr;
  std::weak_ptr<RenderJob> self;
  GstPipeline* pipeline = nullptr;
  std::vector<GstElement*> members;  // member filters' elements (referenced)
  int volumeDb = 0;
  int balanceDb = 0;

  std::mutex mutex;
  std::condition_variable wake;
  bool finished = false;  // the user-interface thread no longer waits
  HRESULT error = S_OK;
  QString errorDetail;
  int rendered = 0;
  int unrendered = 0;
  int handled = 0;
  int buffers = 0;  // decoded buffers seen: none means nothing to play
  unsigned stateChanges = 0;  // wakes the waiting user-interface thread
  bool refused = false;
  std::deque<std::function<void()>> calls;
  std::vector<GstElement*> created;  // renderers added by this rendering
  std::vector<GstElement*> demuxers;  // splitters the decoder made (referenced)
  QStringList log;
  // Bus messages of the rendering: graph events once it succeeded, dropped
  // when it failed.
  std::vector<GstMessage*> events;
  bool finishedEvents = false;  // events go to the graph's queue again

  ~RenderJob() {
    for (GstElement* e : members) gst_object_unref(e);
    for (GstElement* e : created) gst_object_unref(e);
    for (GstElement* e : demuxers) gst_object_unref(e);
    for (GstMessage* m : events) gst_message_unref(m);
  }
  void AddLog(const QString& line) {
    std::lock_guard lock(mutex);
    log << line;
  }
};

