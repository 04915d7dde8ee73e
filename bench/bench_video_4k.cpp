// The video path near the decoding limit: 10 s 3840x2160 movies (H.264 and
// HEVC, made here by ffmpeg) played to their end
//   - by the video window in a 1280x720 window (graph and window alone),
//   - by the viewer, the way a movie opens from the library,
//   - by the main window's preview pane, from one twelfth of the movie,
// each next to the decoding limit of the same file in the same run
// (`filesrc ! decodebin ! fakesink sync=true`, from the same position).
// CPU is this process's own, around each run; frames are counted where they
// are painted, by the window's own counter (the cued first picture counts
// once more: it is painted when cued and again when the movie plays).
//
// Run under X11 with a 1920x1080 screen (`make bench` does):
//   xvfb-run -a -s '-screen 0 1920x1080x24' build/bench/bench_video_4k [movie directory] [--only=TEXT]
// --only runs the cases whose label holds TEXT ("HEVC, viewer", "preview").
#include <gst/gst.h>

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <functional>

#include "app/pk_fmain.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "controls/qs_Buttons.h"
#include "bench/bench_support.h"
#include "bench/bench_table.h"
#include "bench/private_env.h"
#include "framework/qs_application.h"
#include "framework/qs_contexte.h"
#include "viewer/color_control.h"
#include "viewer/filter_graph.h"
#include "viewer/pk_fViewer.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"

namespace {

constexpr int kSeconds = 10;

double CpuSeconds() { return benchsupport::ProcessCpuSeconds(); }

// Polled every 20 ms: the loop's own cost stays out of the figures.
bool RunUntil(const std::function<bool()>& done, int ms) { return benchsupport::RunUntil(done, ms, 20); }

QString MakeMovie(const QString& dir, const QString& name, const QString& codec) {
  const QString path = QDir(dir).filePath(name);
  if (QFileInfo(path).size() > 0) return path;  // kept from an earlier run
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) return QString();
  QProcess p;
  p.start(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i",
                   QStringLiteral("testsrc2=size=3840x2160:rate=25:duration=%1").arg(kSeconds), "-c:v", codec,
                   "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-f", "matroska", path});
  return p.waitForFinished(600000) && p.exitCode() == 0 ? path : QString();
}

struct TFigures {
  double cpu = 0;
  quint64 frames = 0;
};

// The file decoded into a clock-synchronised fakesink from `from` (ns).
TFigures DecodeLimit(const QString& movie, gint64 from = 0) {
  const QString description =
      QStringLiteral("filesrc location=\"%1\" ! decodebin ! fakesink name=s sync=true signal-handoffs=true").arg(movie);
  GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
  std::atomic<quint64> frames{0};
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "s");
  g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer n) {
                     ++*static_cast<std::atomic<quint64>*>(n);
                   }),
                   &frames);
  gst_object_unref(sink);
  GstBus* bus = gst_element_get_bus(pipeline);
  const double start = CpuSeconds();
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  gst_element_get_state(pipeline, nullptr, nullptr, 30 * GST_SECOND);
  if (from > 0) {
    gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            from);
    gst_element_get_state(pipeline, nullptr, nullptr, 30 * GST_SECOND);
  }
  frames = 0;  // the preroll frame is counted again when it plays
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  if (GstMessage* m = gst_bus_timed_pop_filtered(bus, (kSeconds + 170) * GST_SECOND,
                                                 GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)))
    gst_message_unref(m);
  TFigures figures{CpuSeconds() - start, frames};
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(bus);
  gst_object_unref(pipeline);
  return figures;
}

// Notes the end of the movie on a graph.
class TCompleteWatch : public IGraphListener {
 public:
  void HandleGraphEvent(long code, intptr_t, intptr_t) override {
    if (code == EC_COMPLETE || code == EC_ERRORABORT) done = true;
  }
  void HandleControlEvent(int, int) override {}
  bool done = false;
};

// Every frame decoded and handed to the window, however late: the decoder
// would otherwise skip late frames on a busy machine, and its CPU figure
// would no longer stand for the whole movie. Frames painted then say
// whether the window kept up.
bool EveryFrame(TDSVideoWindowEx2& window) {
  TVideoRenderer* renderer = window.OwnRenderer();
  if (!renderer || !renderer->Filter()) return false;
  GstIterator* sinks = gst_bin_iterate_sinks(GST_BIN(renderer->Filter()));
  GValue item = G_VALUE_INIT;
  bool done = false;
  while (gst_iterator_next(sinks, &item) == GST_ITERATOR_OK) {
    g_object_set(g_value_get_object(&item), "qos", FALSE, nullptr);
    g_value_reset(&item);
    done = true;
  }
  g_value_unset(&item);
  gst_iterator_free(sinks);
  return done;
}

// The colour values both forms give their window; the viewer takes the
// brightness from the parameters, where 5000 leaves the picture unchanged.
void FormColours(TDSVideoWindowEx2& window, int brightness = 5000) {
  TColorControl* colors = window.ColorControl();
  colors->SetBrightness(brightness);
  colors->SetContrast(10000);
  colors->SetHue(0);
  colors->SetSaturation(10000);
}

TFigures WindowRun(const QString& movie, int brightness = 5000) {
  TFilterGraph graph;
  TDSVideoWindowEx2 window;
  window.setObjectName(QStringLiteral("DSVideoWindow"));
  window.resize(1280, 720);
  window.show();
  FormColours(window, brightness);
  graph.SetActive(true);
  window.SetFilterGraph(&graph);
  EveryFrame(window);
  TCompleteWatch watch;
  graph.AddListener(&watch);
  const double start = CpuSeconds();
  graph.RenderMediaFile(movie);
  graph.Play();
  if (!RunUntil([&] { return EveryFrame(window), watch.done; }, (kSeconds + 170) * 1000))
    std::fprintf(stderr, "window: no end\n");
  TFigures figures{CpuSeconds() - start, window.FramesPainted()};
  graph.RemoveListener(&watch);
  graph.Stop();
  return figures;
}

TFigures ViewerRun(const QString& movie, QSize* shownAt) {
  TFrmViewer viewer;
  TCompleteWatch watch;
  viewer.FilterGraph->AddListener(&watch);
  TMovieData record(movie, true);
  // The viewer makes its renderer when its graph becomes active.
  viewer.FilterGraph->SetActive(true);
  EveryFrame(*viewer.DSVideoWindow);
  const double start = CpuSeconds();
  viewer.OpenMovie(movie, &record);
  if (!RunUntil([&] { return EveryFrame(*viewer.DSVideoWindow), watch.done; }, (kSeconds + 170) * 1000))
    std::fprintf(stderr, "viewer: no end\n");
  TFigures figures{CpuSeconds() - start, viewer.DSVideoWindow->FramesPainted()};
  *shownAt = viewer.DSVideoWindow->size();
  viewer.FilterGraph->RemoveListener(&watch);
  viewer.close();
  return figures;
}

TFigures PreviewRun(TFrmShowcase& window, const QString& name, QSize* shownAt) {
  // A small movie first, so that the selection below starts a preview.
  window.ListView->setCurrentItem(window.Item(benchsupport::ItemIndex(window, QStringLiteral("Blank"))));
  RunUntil([&] { return window.FilterGraph->GraphState() == 3; }, 30000);
  TCompleteWatch watch;
  window.FilterGraph->AddListener(&watch);
  const quint64 before = window.DSVideoWindow->FramesPainted();
  const double start = CpuSeconds();
  EveryFrame(*window.DSVideoWindow);
  window.ListView->setCurrentItem(window.Item(benchsupport::ItemIndex(window, name)));
  if (!RunUntil([&] { return EveryFrame(*window.DSVideoWindow), watch.done; }, (kSeconds + 170) * 1000))
    std::fprintf(stderr, "preview: no end\n");
  TFigures figures{CpuSeconds() - start, window.DSVideoWindow->FramesPainted() - before};
  *shownAt = window.DSVideoWindow->size();
  window.FilterGraph->RemoveListener(&watch);
  return figures;
}

QString Ratio(double value, double reference) { return QString::number(reference > 0 ? value / reference : 0, 'f', 2); }

void Report(const QString& what, const TFigures& ours, const TFigures& limit, const QSize& at) {
  const double share = limit.frames ? 100.0 * ours.frames / limit.frames : 0;
  std::printf("%-34s %5.2f CPU s (decode limit %.2f, ratio %s), %llu of %llu frames painted (%.1f %%) at %dx%d\n",
              qPrintable(what), ours.cpu, limit.cpu, qPrintable(Ratio(ours.cpu, limit.cpu)),
              static_cast<unsigned long long>(ours.frames), static_cast<unsigned long long>(limit.frames), share,
              at.width(), at.height());
  benchtable::Row(what + QStringLiteral(": CPU / decode limit"), Ratio(ours.cpu, limit.cpu),
                  QStringLiteral("%1 s / %2 s").arg(ours.cpu, 0, 'f', 2).arg(limit.cpu, 0, 'f', 2),
                  QStringLiteral("<= 1.30"));
  benchtable::Row(what + QStringLiteral(": frames painted"), QString::number(share, 'f', 1) + QStringLiteral(" %"),
                  QStringLiteral("%1 of %2").arg(ours.frames).arg(limit.frames), QStringLiteral(">= 99 %"));
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir base;
  benchenv::UsePrivateEnvironment(base.path());
  TqsApplication app(argc, argv);
  gst_init(&argc, &argv);
  SetErrorDisplay([](const QString& message) { std::fprintf(stderr, "error shown: %s\n", qPrintable(message)); });
  // A directory given keeps the movies for the next run (they take a while).
  QString movies = base.path() + QStringLiteral("/Movies");
  QString only;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg.startsWith(QStringLiteral("--only="))) only = arg.mid(7);
    else movies = arg;
  }
  const auto wanted = [&](const QString& label) { return only.isEmpty() || label.contains(only); };
  QDir().mkpath(movies);
  std::printf("making 10 s 3840x2160 movies (H.264, HEVC)...\n");
  std::fflush(stdout);
  struct TMovie {
    QString name, path;
  } list[] = {{QStringLiteral("H.264"), MakeMovie(movies, QStringLiteral("h264.avi"), QStringLiteral("libx264"))},
              {QStringLiteral("HEVC"), MakeMovie(movies, QStringLiteral("hevc.avi"), QStringLiteral("libx265"))}};
  // Matroska under the name the library lists.
  const QString blank = QDir(movies).filePath(QStringLiteral("Blank.avi"));
  QProcess::execute(QStandardPaths::findExecutable(QStringLiteral("ffmpeg")),
                    {"-v", "error", "-y", "-f", "lavfi", "-i", "color=c=black:size=320x180:rate=25:duration=20", "-c:v",
                     "mpeg4", "-vtag", "XVID", blank});
  for (const TMovie& m : list)
    if (m.path.isEmpty()) {
      std::fprintf(stderr, "cannot make the %s movie (ffmpeg with x264 and x265 missing?)\n", qPrintable(m.name));
      return 1;
    }
  std::printf("screen %dx%d\n", QGuiApplication::primaryScreen()->size().width(),
              QGuiApplication::primaryScreen()->size().height());

  InitializeSettingsUnit();
  InitializeLauncherStrings();
  Parameters().Load();
  Parameters().MovieDir = movies;
  Parameters().CDReader = QString();
  for (const TMovie& m : list) {
    const QString label = QStringLiteral("4K %1, ").arg(m.name);
    const QString plain = label + QStringLiteral("video window 1280x720");
    const QString bright = label + QStringLiteral("video window 1280x720, brightness 6000");
    if (wanted(plain) || wanted(bright)) {
      const TFigures limit = DecodeLimit(m.path);
      if (wanted(plain)) Report(plain, WindowRun(m.path), limit, QSize(1280, 720));
      if (wanted(bright)) Report(bright, WindowRun(m.path, 6000), limit, QSize(1280, 720));
    }
    if (wanted(label + QStringLiteral("viewer"))) {
      QSize at;
      const TFigures viewer = ViewerRun(m.path, &at);
      Report(label + QStringLiteral("viewer"), viewer, DecodeLimit(m.path), at);
    }
  }
  if (!wanted(QStringLiteral("4K H.264, preview pane")) && !wanted(QStringLiteral("4K HEVC, preview pane"))) {
    ReleaseParameters();
    FinalizeSettingsUnit();
    return 0;
  }

  // The preview from one twelfth of each movie.
  auto* window = new TFrmShowcase();
  window->show();
  if (!RunUntil([&] { return window->Activated && !window->ListsPending() && window->ItemCount() == 3; }, 30000)) {
    std::fprintf(stderr, "the list did not come\n");
    return 1;
  }
  for (const TMovie& m : list) {
    if (!wanted(QStringLiteral("4K %1, preview pane").arg(m.name))) continue;
    QSize at;
    const TFigures preview = PreviewRun(*window, QFileInfo(m.path).completeBaseName(), &at);
    const TFigures limit = DecodeLimit(m.path, gint64(kSeconds) * GST_SECOND / 12);
    Report(QStringLiteral("4K %1, preview pane").arg(m.name), preview, limit, at);
  }
  delete window;
  ReleaseMovieList();
  ReleaseParameters();
  FinalizeSettingsUnit();
  return 0;
}
