// Opening a movie: render + preroll + first played buffer, for the
// MPEG-4/MP3 test movie, through TFilterGraph and through the pipeline
// `gst-launch-1.0 playbin` builds for the same file (same sinks, in process,
// so that process start-up is not measured). Prints the medians and their
// ratio at the end.
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <QCoreApplication>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "tests/support/test_movies.h"
#include "viewer/filter_graph.h"

namespace {

using Clock = std::chrono::steady_clock;

// Signalled by the video sink's first rendered buffer.
struct FirstBuffer {
  std::mutex mutex;
  std::condition_variable cv;
  bool seen = false;
  static void OnHandoff(GstElement*, GstBuffer*, GstPad*, gpointer self) {
    auto* f = static_cast<FirstBuffer*>(self);
    std::lock_guard lock(f->mutex);
    f->seen = true;
    f->cv.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(10), [&] { return seen; });
  }
};

const char* kVideoSink = "fakesink sync=true signal-handoffs=true";
const char* kAudioSink = "fakesink sync=true";

class TBenchVideoWindow : public IMemberFilter {
 public:
  explicit TBenchVideoWindow(FirstBuffer* first) {
    fFilter = gst_parse_bin_from_description((std::string("videoconvert ! ") + kVideoSink).c_str(), TRUE, nullptr);
    gst_object_ref_sink(fFilter);
    GstIterator* it = gst_bin_iterate_sinks(GST_BIN(fFilter));
    GValue v = G_VALUE_INIT;
    if (gst_iterator_next(it, &v) == GST_ITERATOR_OK) {
      g_signal_connect(g_value_get_object(&v), "handoff", G_CALLBACK(&FirstBuffer::OnHandoff), first);
      g_value_unset(&v);
    }
    gst_iterator_free(it);
  }
  ~TBenchVideoWindow() override { gst_object_unref(fFilter); }
  GstElement* GetFilterObject() override { return fFilter; }
  QString GetFilterName() override { return QStringLiteral("DSVideoWindow"); }
  void FilterNotify(int, int) override {}

 private:
  GstElement* fFilter;
};

std::vector<double> gOurs, gPlaybin;

QString Movie() {
  static const QString file = testmovies::MovieFile(testmovies::TMovieKind::Mpeg4Mp3);
  return file;
}

void BM_FilterGraphOpen(benchmark::State& state) {
  if (Movie().isEmpty()) {
    state.SkipWithError("cannot make the test movie (ffmpeg missing?)");
    return;
  }
  for (auto _ : state) {
    FirstBuffer first;
    // Counted from the graph's creation, as playbin's is counted from its
    // description being parsed (sinks included).
    const auto start = Clock::now();
    TBenchVideoWindow window(&first);
    TFilterGraph graph;
    graph.AddMemberFilter(&window);
    graph.SetActive(true);
    graph.RenderMediaFile(Movie());
    graph.Play();
    if (!first.Wait()) state.SkipWithError("no buffer played");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    gOurs.push_back(seconds);
    graph.SetActive(false);
    graph.RemoveMemberFilter(&window);
  }
}

void BM_PlaybinOpen(benchmark::State& state) {
  if (Movie().isEmpty()) {
    state.SkipWithError("cannot make the test movie (ffmpeg missing?)");
    return;
  }
  const QByteArray uri = QUrl::fromLocalFile(Movie()).toEncoded();
  const std::string description = "playbin uri=" + uri.toStdString() + " video-sink=\"" + kVideoSink +
                                  "\" audio-sink=\"" + kAudioSink + "\"";
  for (auto _ : state) {
    FirstBuffer first;
    const auto start = Clock::now();
    GstElement* playbin = gst_parse_launch(description.c_str(), nullptr);
    GstElement* sink = nullptr;
    g_object_get(playbin, "video-sink", &sink, nullptr);
    g_signal_connect(sink, "handoff", G_CALLBACK(&FirstBuffer::OnHandoff), &first);
    gst_element_set_state(playbin, GST_STATE_PLAYING);
    if (!first.Wait()) state.SkipWithError("no buffer played");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    gPlaybin.push_back(seconds);
    gst_element_set_state(playbin, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(playbin);
  }
}

BENCHMARK(BM_FilterGraphOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(7);
BENCHMARK(BM_PlaybinOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(7);

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("CINVO_AUDIO_SINK", kAudioSink);
  QCoreApplication app(argc, argv);
  gst_init(&argc, &argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double ours = Median(gOurs), playbin = Median(gPlaybin);
  std::printf("\nopen to first played buffer, median of %zu / %zu runs: TFilterGraph %.1f ms, playbin %.1f ms, "
              "ratio %.2f\n",
              gOurs.size(), gPlaybin.size(), ours * 1000, playbin * 1000, playbin > 0 ? ours / playbin : 0.0);
  return 0;
}
