#pragma once
// Recording doubles of the controls that join a graph, and event waits.
#include <gst/gst.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

#include "viewer/filter_graph.h"

namespace graphtest {

// Runs the event loop until `done` holds or `ms` have passed.
inline bool WaitFor(const std::function<bool()>& done, int ms = 15000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Records what a listener hears, optionally into a shared trace.
class TRecordingListener : public IGraphListener {
 public:
  explicit TRecordingListener(QStringList* trace = nullptr) : fTrace(trace) {}
  void HandleGraphEvent(long code, intptr_t, intptr_t) override {
    graphEvents.push_back(code);
    if (fTrace) fTrace->append(QStringLiteral("listener %1").arg(code));
  }
  void HandleControlEvent(int code, int value) override { controlEvents.emplace_back(code, value); }
  int CountGraph(long code) const {
    int n = 0;
    for (long c : graphEvents) n += c == code;
    return n;
  }
  std::vector<long> graphEvents;
  std::vector<std::pair<int, int>> controlEvents;

 private:
  QStringList* fTrace;
};

// Stands in for the video window: a bin "videoconvert ! fakesink" that takes
// any raw video.
class TFakeVideoWindow : public IMemberFilter {
 public:
  TFakeVideoWindow() {
    gst_init(nullptr, nullptr);
    fFilter = gst_bin_new(nullptr);
    gst_object_ref_sink(fFilter);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    gst_bin_add_many(GST_BIN(fFilter), convert, sink, nullptr);
    gst_element_link(convert, sink);
    GstPad* target = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(fFilter, gst_ghost_pad_new("sink", target));
    gst_object_unref(target);
  }
  ~TFakeVideoWindow() override { gst_object_unref(fFilter); }
  GstElement* GetFilterObject() override { return fFilter; }
  QString GetFilterName() override { return QStringLiteral("DSVideoWindow"); }
  void FilterNotify(int operation, int) override { notifications.push_back(operation); }
  bool InputConnected() const {
    GstPad* pad = gst_element_get_static_pad(fFilter, "sink");
    const bool linked = gst_pad_is_linked(pad);
    gst_object_unref(pad);
    return linked;
  }
  bool Parked() const { return IsParked(fFilter); }
  // Frames that reached the window's sink since it was made.
  int Frames() const { return g_atomic_int_get(&fFrames); }
  void CountFrames() {
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer frames) {
          g_atomic_int_inc(static_cast<gint*>(frames));
          return GST_PAD_PROBE_OK;
        },
        &fFrames, nullptr);
    gst_object_unref(pad);
  }
  std::vector<int> notifications;
  GstElement* sink = nullptr;

 private:
  GstElement* fFilter;
  gint fFrames = 0;
};

inline QStringList ClassesOf(GstPipeline* graph) {
  QStringList classes;
  TFilterList filters(graph);
  for (int i = 0; i < filters.Count(); ++i) classes << FilterClassID(filters.Items(i));
  return classes;
}

inline std::vector<GstElement*> AudioRenderersOf(const TFilterList& filters) {
  std::vector<GstElement*> result;
  for (int i = 0; i < filters.Count(); ++i)
    if (FilterClassID(filters.Items(i)) == QLatin1String(CLSID_AudioRender)) result.push_back(filters.Items(i));
  return result;
}

}  // namespace graphtest
