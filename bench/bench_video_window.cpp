// Playing cost of the video window: a 1280x720 MPEG-4 movie played through
// graph and video window (frames painted on screen), against the same graph
// whose video ends in a fakesink. Prints CPU seconds of both runs, their
// ratio, and frames painted against frames decoded.
//
// Run under X11 (e.g. xvfb-run) to paint for real, or with
// QT_QPA_PLATFORM=offscreen.
#include <gst/gst.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

#include "bench/bench_support.h"
#include "bench/bench_table.h"
#include "viewer/filter_graph.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"

namespace {

constexpr int kSeconds = 10;

QString MakeMovie(const QString& dir) {
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) return QString();
  const QString path = QDir(dir).filePath(QStringLiteral("hd.avi"));
  QProcess p;
  p.start(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i",
                   QStringLiteral("testsrc=size=1280x720:rate=25:duration=%1").arg(kSeconds), "-c:v", "mpeg4",
                   "-vtag", "XVID", "-q:v", "5", path});
  return p.waitForFinished(120000) && p.exitCode() == 0 ? path : QString();
}

// Counts decoded frames and discards them in time with the clock.
class TFakeWindow : public IMemberFilter {
 public:
  TFakeWindow() {
    fFilter = gst_parse_bin_from_description("videoconvert ! fakesink sync=true signal-handoffs=true name=s", TRUE,
                                             nullptr);
    gst_object_ref_sink(fFilter);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(fFilter), "s");
    g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer n) {
                       ++*static_cast<std::atomic<int>*>(n);
                     }), &frames);
    gst_object_unref(sink);
  }
  ~TFakeWindow() override { gst_object_unref(fFilter); }
  GstElement* GetFilterObject() override { return fFilter; }
  QString GetFilterName() override { return QStringLiteral("DSVideoWindow"); }
  void FilterNotify(int, int) override {}
  std::atomic<int> frames{0};

 private:
  GstElement* fFilter;
};

bool PlayToEnd(TFilterGraph& graph, const QString& movie) {
  // A real event loop, which sleeps between events: its own cost stays out
  // of the figures.
  QEventLoop loop;
  bool done = false;
  graph.SetOnGraphComplete([&](QObject*, HRESULT, GstElement*) {
    done = true;
    loop.quit();
  });
  QTimer::singleShot((kSeconds + 20) * 1000, &loop, &QEventLoop::quit);
  graph.RenderMediaFile(movie);
  graph.Play();
  loop.exec();
  graph.Stop();
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("CINVO_AUDIO_SINK")) qputenv("CINVO_AUDIO_SINK", "fakesink sync=true");
  QApplication app(argc, argv);
  gst_init(nullptr, nullptr);
  QTemporaryDir dir;
  const QString movie = MakeMovie(dir.path());
  if (movie.isEmpty()) {
    std::fprintf(stderr, "cannot make the 1280x720 movie (ffmpeg missing?)\n");
    return 1;
  }

  double fakeCpu = 0;
  int fakeFrames = 0;
  {
    TFilterGraph graph;
    TFakeWindow fake;
    graph.AddMemberFilter(&fake);
    graph.SetActive(true);
    const double start = benchsupport::ProcessCpuSeconds();
    if (!PlayToEnd(graph, movie)) std::fprintf(stderr, "fakesink run did not complete\n");
    fakeCpu = benchsupport::ProcessCpuSeconds() - start;
    fakeFrames = fake.frames;
    graph.RemoveMemberFilter(&fake);
  }

  double windowCpu = 0;
  quint64 painted = 0, decoded = 0;
  {
    TFilterGraph graph;
    TDSVideoWindowEx2 window;
    window.setObjectName(QStringLiteral("DSVideoWindow"));
    window.resize(1280, 720);
    window.show();
    graph.SetActive(true);
    window.SetFilterGraph(&graph);
    window.ColorControl();
    const double start = benchsupport::ProcessCpuSeconds();
    if (!PlayToEnd(graph, movie)) std::fprintf(stderr, "window run did not complete\n");
    windowCpu = benchsupport::ProcessCpuSeconds() - start;
    painted = window.FramesPainted();
    decoded = window.OwnRenderer() ? window.OwnRenderer()->FramesDelivered() : 0;
  }
  std::printf("1280x720 MPEG-4, %d s at 25 fps\n", kSeconds);
  std::printf("fakesink:     %.2f CPU s, %d frames\n", fakeCpu, fakeFrames);
  std::printf("video window: %.2f CPU s, %llu frames painted of %llu decoded\n", windowCpu,
              static_cast<unsigned long long>(painted), static_cast<unsigned long long>(decoded));
  std::printf("CPU ratio window / fakesink: %.2f\n", fakeCpu > 0 ? windowCpu / fakeCpu : 0.0);
  benchtable::Row(QStringLiteral("1280x720 MPEG-4 in the video window: CPU / fakesink"),
                  QString::number(fakeCpu > 0 ? windowCpu / fakeCpu : 0.0, 'f', 2),
                  QStringLiteral("%1 s / %2 s").arg(windowCpu, 0, 'f', 2).arg(fakeCpu, 0, 'f', 2),
                  QStringLiteral("-"));
  return 0;
}
