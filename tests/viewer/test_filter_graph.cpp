// The media graph component on real (generated) movies: activation,
// member filters and listeners, the event pump and its order, playing,
// stopping and seeking, audio settings, registration and the log.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <memory>
#include <QRegularExpression>

#include "tests/support/test_env.h"
#include "tests/support/test_movies.h"
#include "tests/viewer/graph_test_helpers.h"
#include "viewer/filter_graph.h"

using namespace graphtest;
using testmovies::MovieFile;
using testmovies::TMovieKind;

namespace {

class FilterGraph : public ::testing::Test {
 protected:
  void SetUp() override { testenv::RecordedErrors().clear(); }
  QString Movie(TMovieKind kind) {
    const QString file = MovieFile(kind);
    EXPECT_FALSE(file.isEmpty()) << "cannot make test movie " << static_cast<int>(kind);
    return file;
  }
};

TEST_F(FilterGraph, ActivatingTwiceBuildsOneGraphAndTellsListenersOnce) {
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddListener(&listener);
  int activations = 0;
  graph.SetOnActivate([&](QObject* sender) {
    EXPECT_EQ(sender, &graph);
    ++activations;
  });
  EXPECT_EQ(graph.Graph(), nullptr);
  EXPECT_EQ(graph.MediaSeeking(), nullptr);
  EXPECT_EQ(graph.GraphState(), 0);
  graph.SetActive(true);
  GstPipeline* first = graph.Graph();
  ASSERT_NE(first, nullptr);
  graph.SetActive(true);
  EXPECT_EQ(graph.Graph(), first);
  EXPECT_EQ(activations, 1);
  graph.SetMode(gmNormal);  // the current mode: nothing happens
  EXPECT_EQ(graph.Graph(), first);
  ASSERT_EQ(listener.controlEvents.size(), 1u);
  EXPECT_EQ(listener.controlEvents[0], std::make_pair(int(ControlActivation), 1));
  EXPECT_NE(graph.MediaSeeking(), nullptr);
  EXPECT_EQ(graph.GraphState(), 1);  // an empty graph is stopped

  graph.SetActive(false);
  graph.SetActive(false);
  EXPECT_EQ(graph.Graph(), nullptr);
  ASSERT_EQ(listener.controlEvents.size(), 2u);
  EXPECT_EQ(listener.controlEvents[1], std::make_pair(int(ControlActivation), 0));
  EXPECT_FALSE(graph.Play());
  EXPECT_EQ(graph.DurationMs(), 0);
}

TEST_F(FilterGraph, BusMessagesAreReleasedOnceHandled) {
  // The bus hands the graph its reference to each message; one kept after
  // handling would hold its sender, and through it a whole graph, forever.
  TFilterGraph graph;
  graph.SetActive(true);
  GstMessage* message =
      gst_message_new_application(GST_OBJECT(graph.Graph()), gst_structure_new_empty("cinvo-test-unknown"));
  gst_message_ref(message);  // the test's own, to watch the count
  gst_element_post_message(GST_ELEMENT(graph.Graph()), message);
  EXPECT_TRUE(WaitFor([&] { return GST_MINI_OBJECT_REFCOUNT_VALUE(message) == 1; }));
  gst_message_unref(message);
}

TEST_F(FilterGraph, GraphKindsThatDoNotExistHereFailInsteadOfPretending) {
  TFilterGraph graph;
  graph.SetActive(true);
  EXPECT_THROW(graph.SetMode(gmDVD), EDirectShowException);
  EXPECT_FALSE(graph.Active());
  EXPECT_EQ(graph.Graph(), nullptr);
  graph.SetMode(gmNormal);  // back to a kind that exists; was inactive, stays so
  EXPECT_FALSE(graph.Active());
  graph.SetActive(true);
  EXPECT_TRUE(graph.Active());
}

TEST_F(FilterGraph, RenderingWithoutGraphReturnsFalseSilently) {
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddListener(&listener);
  EXPECT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_FALSE);
  EXPECT_TRUE(listener.controlEvents.empty());
}

TEST_F(FilterGraph, MemberFilterJoinsTakesTheVideoAndSurvivesEmptyGraph) {
  TFakeVideoWindow window;  // outlives the graph, as a member must
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddMemberFilter(&window);
  graph.AddListener(&listener);
  EXPECT_TRUE(window.notifications.empty());  // inactive: only listed
  graph.SetActive(true);
  EXPECT_EQ(window.notifications, (std::vector<int>{0, 1}));
  EXPECT_EQ(ClassesOf(graph.Graph()).size(), 1);
  EXPECT_EQ(FilterName(window.GetFilterObject()), "DSVideoWindow");

  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_GE(listener.controlEvents.size(), 3u);
  EXPECT_EQ(listener.controlEvents[1].first, ControlFileRendering);
  EXPECT_EQ(listener.controlEvents[2].first, ControlFileRendered);
  EXPECT_TRUE(window.InputConnected());
  const QStringList classes = ClassesOf(graph.Graph());
  EXPECT_TRUE(classes.contains(CLSID_FileSource));
  EXPECT_TRUE(classes.contains(CLSID_DecodeBin));
  EXPECT_EQ(classes.count(CLSID_AudioRender), 1);
  EXPECT_EQ(classes.count(CLSID_NullRenderer), 0);  // the window took the video
  EXPECT_NEAR(graph.DurationMs(), testmovies::kMovieSeconds * 1000, 100);
  EXPECT_EQ(graph.GraphState(), 1);  // built and cued, not running

  graph.EmptyGraph();
  TFilterList left(graph.Graph());
  ASSERT_EQ(left.Count(), 1);
  EXPECT_EQ(left.Items(0), window.GetFilterObject());
  EXPECT_FALSE(window.InputConnected());
  EXPECT_EQ(window.notifications, (std::vector<int>{0, 1}));  // never taken out

  // The kept filter serves the next movie.
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::VideoOnly)), S_OK);
  EXPECT_TRUE(window.InputConnected());
  graph.RemoveMemberFilter(&window);
  EXPECT_EQ(window.notifications, (std::vector<int>{0, 1, 2, 3}));
  TFilterList after(graph.Graph());
  for (int i = 0; i < after.Count(); ++i) EXPECT_NE(after.Items(i), window.GetFilterObject());
}

TEST_F(FilterGraph, ListenersAndMembersDestroyedWithoutLeavingTakeThemselvesOut) {
  auto graph = std::make_unique<TFilterGraph>();
  auto listener = std::make_unique<TRecordingListener>();
  auto window = std::make_unique<TFakeVideoWindow>();
  auto staying = std::make_unique<TRecordingListener>();
  graph->AddListener(listener.get());
  graph->AddListener(staying.get());
  graph->AddMemberFilter(window.get());
  graph->SetActive(true);
  ASSERT_EQ(graph->RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  GstElement* filter = GST_ELEMENT(gst_object_ref(window->GetFilterObject()));
  ASSERT_TRUE(graph->Play());

  // Gone while the graph plays, without RemoveListener / RemoveMemberFilter.
  listener.reset();
  window.reset();
  EXPECT_EQ(graph->Listeners(), std::vector<IGraphListener*>{staying.get()});
  EXPECT_TRUE(graph->MemberFilters().empty());
  TFilterList left(graph->Graph());
  for (int i = 0; i < left.Count(); ++i) EXPECT_NE(left.Items(i), filter);
  EXPECT_EQ(GST_OBJECT_PARENT(filter), nullptr);
  gst_object_unref(filter);

  // The graph goes on telling the one still there, and closes cleanly.
  ASSERT_TRUE(WaitFor([&] { return staying->CountGraph(EC_COMPLETE) == 1; }));
  graph->EmptyGraph();
  ASSERT_EQ(graph->RenderMediaFile(Movie(TMovieKind::VideoOnly)), S_OK);
  graph.reset();
  EXPECT_EQ(staying->controlEvents.back(), std::make_pair(int(ControlActivation), 0));
  staying.reset();  // after its graph: nothing left to leave
}

TEST_F(FilterGraph, ARendererParkedAfterTheOthersEndedStillEndsTheGraphAndOnlyThatMovie) {
  // The tests' audio output does not keep time: sound ends at once, the
  // window alone keeps the movie running.
  TFakeVideoWindow window;
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddMemberFilter(&window);
  graph.AddListener(&listener);
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  int64_t position = 0;
  ASSERT_TRUE(WaitFor([&] {
    graph.MediaSeeking()->GetCurrentPosition(&position);
    return position >= 5000000;  // 0.5 s: the sound has ended long before
  }));
  ASSERT_EQ(listener.CountGraph(EC_COMPLETE), 0);
  // The picture is switched off while playing: the movie is over.
  GstPad* input = gst_element_get_static_pad(window.GetFilterObject(), "sink");
  ASSERT_EQ(DisconnectPin(input), S_OK);
  gst_object_unref(input);
  EXPECT_TRUE(window.Parked());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 1; }, 5000));

  // That end belongs to that movie: the next one runs to its own end.
  graph.EmptyGraph();
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  EXPECT_FALSE(window.Parked());
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 2; }));
  graph.MediaSeeking()->GetCurrentPosition(&position);
  EXPECT_GE(MediaTimeToMs(position), testmovies::kMovieSeconds * 1000 - 200);

  // A renderer taken out of the graph while playing counts the same way.
  graph.EmptyGraph();
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] {
    graph.MediaSeeking()->GetCurrentPosition(&position);
    return position >= 5000000;
  }));
  graph.RemoveMemberFilter(&window);
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 3; }, 5000));
}

TEST_F(FilterGraph, AMovieFailingLateLeavesTheWindowParkedAndTheNextMoviesPlay) {
  TFakeVideoWindow window;
  window.CountFrames();
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddMemberFilter(&window);
  graph.AddListener(&listener);
  graph.SetActive(true);
  // Fails late, after the window took the picture: the sound output
  // cannot be opened.
  const QByteArray audioSink = qgetenv("CINVO_AUDIO_SINK");
  qputenv("CINVO_AUDIO_SINK", "filesink location=/nonexistent/cinvo/sound");
  HRESULT hr = S_OK;
  try {
    graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm));
  } catch (const EDirectShowException& e) {
    hr = e.ResultCode();
  }
  qputenv("CINVO_AUDIO_SINK", audioSink);
  ASSERT_EQ(hr, E_NO_AUDIO_DEVICE);
  testenv::DrainEvents();
  EXPECT_TRUE(listener.graphEvents.empty());
  QElapsedTimer timer;
  timer.start();
  graph.EmptyGraph();
  EXPECT_LT(timer.elapsed(), 2000);  // was 5 s on the user-interface thread
  EXPECT_FALSE(window.InputConnected());
  EXPECT_TRUE(window.Parked());

  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::AudioOnly)), S_OK);
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 1; }));
  graph.EmptyGraph();
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::VideoOnly)), S_OK);
  const int framesBefore = window.Frames();
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 2; }));
  EXPECT_GE(window.Frames() - framesBefore, 15 * testmovies::kMovieSeconds - 2);
}

TEST_F(FilterGraph, AMovieClaimingWeeksReportsTheLargestDurationNotANegativeOne) {
  // The video stream's header says one frame every 100000 s: 30 frames
  // make about 35 days, beyond 2^31 milliseconds.
  QByteArray data = testenv::ReadFile(Movie(TMovieKind::MjpegPcm));
  qsizetype header = data.indexOf("strh");
  while (header >= 0 && data.mid(header + 8, 4) != "vids") header = data.indexOf("strh", header + 4);
  ASSERT_GT(header, 0);
  auto put = [&](qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i) data[at + i] = char((value >> (8 * i)) & 0xFF);
  };
  put(header + 28, 100000);  // dwScale
  put(header + 32, 1);       // dwRate
  put(data.indexOf("avih") + 8, 0);  // no frame time in the main header to check it against
  const QString file = testenv::NewTempDir("weeks") + "/weeks.avi";
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(data) == data.size());
  out.close();
  TFilterGraph graph;
  graph.SetActive(true);
  ASSERT_TRUE(Succeeded(graph.RenderMediaFile(file)));
  int64_t duration = 0;
  ASSERT_EQ(graph.MediaSeeking()->GetDuration(&duration), S_OK);
  ASSERT_GT(MediaTimeToMs(duration), int64_t(INT32_MAX));
  EXPECT_EQ(graph.DurationMs(), INT32_MAX);
}

TEST_F(FilterGraph, H264MoviePlaysWithItsPicture) {
  const QString file = testmovies::MovieFile(TMovieKind::H264Mp3);
  if (file.isEmpty()) GTEST_SKIP() << "ffmpeg with libx264 is not available";
  TFakeVideoWindow window;
  window.CountFrames();
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddMemberFilter(&window);
  graph.AddListener(&listener);
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(file), S_OK);  // not a partial render: the picture is decoded
  EXPECT_TRUE(window.InputConnected());
  EXPECT_EQ(ClassesOf(graph.Graph()).count(CLSID_AudioRender), 1);
  EXPECT_NEAR(graph.DurationMs(), testmovies::kMovieSeconds * 1000, 100);
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 1; }));
  EXPECT_GE(window.Frames(), 25 * testmovies::kMovieSeconds - 2);
}

TEST_F(FilterGraph, WithoutVideoWindowTheVideoGoesToAPlainRenderer) {
  TFilterGraph graph;
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::VideoOnly)), S_OK);
  const QStringList classes = ClassesOf(graph.Graph());
  EXPECT_EQ(classes.count(CLSID_NullRenderer), 1);
  EXPECT_EQ(classes.count(CLSID_AudioRender), 0);
}

TEST_F(FilterGraph, ClockChangeReachesListenersThenOnDSEventThenItsHandlerOncePerBuiltGraph) {
  QStringList trace;
  TRecordingListener listener(&trace);
  TFilterGraph graph;
  graph.AddListener(&listener);
  graph.SetOnDSEvent([&](QObject*, long code, intptr_t, intptr_t) { trace << QStringLiteral("ds %1").arg(code); });
  int clockChanges = 0;
  graph.SetOnGraphClockChanged([&](QObject*) {
    trace << "clock changed";
    ++clockChanges;
  });
  int pauses = 0;
  graph.SetOnGraphPaused([&](QObject*, HRESULT) { ++pauses; });
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  EXPECT_EQ(clockChanges, 0);  // rendering alone does not run the graph
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return clockChanges == 1; }));
  const int at = trace.indexOf("clock changed");
  ASSERT_GE(at, 2);
  EXPECT_EQ(trace[at - 2], "listener 13");
  EXPECT_EQ(trace[at - 1], "ds 13");
  EXPECT_EQ(graph.GraphState(), 3);

  // Pausing and running again is not a new graph.
  graph.Pause();
  ASSERT_TRUE(WaitFor([&] { return pauses == 1; }));
  EXPECT_EQ(graph.GraphState(), 2);
  graph.Play();
  ASSERT_TRUE(WaitFor([&] { return graph.GraphState() == 3; }));
  graph.Stop();
  graph.Play();
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_COMPLETE) == 1; }));
  EXPECT_EQ(clockChanges, 1);
  EXPECT_EQ(listener.CountGraph(EC_CLOCK_CHANGED), 1);

  // A newly built graph counts again.
  graph.EmptyGraph();
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  graph.Play();
  ASSERT_TRUE(WaitFor([&] { return clockChanges == 2; }));
}

TEST_F(FilterGraph, EventsStillFlowAfterADeactivationWithANotificationOutstanding) {
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddListener(&listener);
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  // Closed before the posted notification is handled: it arrives with no
  // graph behind it.
  graph.SetActive(false);
  QCoreApplication::processEvents();
  EXPECT_TRUE(listener.graphEvents.empty());

  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  EXPECT_TRUE(WaitFor([&] { return listener.CountGraph(EC_CLOCK_CHANGED) == 1; }));
  graph.SetActive(false);
}

TEST_F(FilterGraph, PlayingToTheEndReportsCompletion) {
  TFilterGraph graph;
  int completed = 0;
  HRESULT result = E_FAIL;
  graph.SetOnGraphComplete([&](QObject* sender, HRESULT r, GstElement*) {
    EXPECT_EQ(sender, &graph);
    result = r;
    ++completed;
  });
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return completed == 1; }));
  EXPECT_EQ(result, S_OK);
  int64_t position = 0;
  graph.MediaSeeking()->GetCurrentPosition(&position);
  EXPECT_NEAR(MediaTimeToMs(position), testmovies::kMovieSeconds * 1000, 150);
}

TEST_F(FilterGraph, TwoAudioStreamsGetTwoRenderersAndOneCanBeCutOff) {
  TFilterGraph graph;
  int completed = 0;
  graph.SetOnGraphComplete([&](QObject*, HRESULT, GstElement*) { ++completed; });
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::TwoAudio)), S_OK);
  TFilterList filters(graph.Graph());
  const std::vector<GstElement*> renderers = AudioRenderersOf(filters);
  ASSERT_EQ(renderers.size(), 2u);
  // Renderers come in the order of the file's audio streams: "Audio 1" is
  // the first stream.
  auto streamOf = [](GstElement* renderer) {
    GstPad* pad = gst_element_get_static_pad(renderer, "sink");
    gchar* id = gst_pad_get_stream_id(pad);
    const QString result = QString::fromUtf8(id ? id : "");
    g_free(id);
    gst_object_unref(pad);
    return result;
  };
  EXPECT_FALSE(streamOf(renderers[0]).isEmpty());
  EXPECT_LT(streamOf(renderers[0]), streamOf(renderers[1]));

  // Keep only the second stream, as the audio choice does: disconnect every
  // pin of the first renderer and its peer.
  TPinList pins(renderers[0]);
  for (int i = 0; i < pins.Count(); ++i) {
    DisconnectPin(pins.Items(i));
    if (GstPad* peer = ConnectedTo(pins.Items(i))) {
      DisconnectPin(peer);
      gst_object_unref(peer);
    }
  }
  EXPECT_EQ(AudioRenderersOf(TFilterList(graph.Graph())).size(), 2u);  // still in the graph
  // The cut renderer neither stops the graph from running nor from ending.
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return completed == 1; }));
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty()) << testenv::RecordedErrors().join('\n').toStdString();
}

TEST_F(FilterGraph, ACutRendererIsReleasedWithTheGraph) {
  // Pads of the cut renderer, watched without holding them: a renderer that
  // is still running when the graph goes keeps its pads for ever.
  GstPad* outer = nullptr;
  GstPad* inner = nullptr;
  {
    TFilterGraph graph;
    graph.SetActive(true);
    ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::TwoAudio)), S_OK);
    {
      TFilterList filters(graph.Graph());
      const std::vector<GstElement*> renderers = AudioRenderersOf(filters);
      ASSERT_EQ(renderers.size(), 2u);
      outer = gst_element_get_static_pad(renderers[0], "sink");
      GstElement* volume = gst_bin_get_by_name(GST_BIN(renderers[0]), "volume");
      ASSERT_NE(volume, nullptr);
      inner = gst_element_get_static_pad(volume, "sink");
      gst_object_unref(volume);
      g_object_add_weak_pointer(G_OBJECT(outer), reinterpret_cast<gpointer*>(&outer));
      g_object_add_weak_pointer(G_OBJECT(inner), reinterpret_cast<gpointer*>(&inner));
      gst_object_unref(outer);
      gst_object_unref(inner);
      EXPECT_EQ(DisconnectPin(outer), S_OK);
      EXPECT_TRUE(IsParked(renderers[0]));
    }
    EXPECT_TRUE(graph.Play());
  }
  EXPECT_EQ(outer, nullptr);
  EXPECT_EQ(inner, nullptr);
}

TEST_F(FilterGraph, AnAudioOnlyFileDoesNotWaitForTheIdleVideoWindow) {
  TFakeVideoWindow window;  // outlives the graph, as a member must
  TFilterGraph graph;
  graph.AddMemberFilter(&window);
  int completed = 0;
  graph.SetOnGraphComplete([&](QObject*, HRESULT, GstElement*) { ++completed; });
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::AudioOnly)), S_OK);
  EXPECT_FALSE(window.InputConnected());
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return completed == 1; }));
}

TEST_F(FilterGraph, PositionsStayReadableAndSettableAfterStop) {
  TRecordingListener listener;
  TFilterGraph graph;
  graph.AddListener(&listener);
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return listener.CountGraph(EC_CLOCK_CHANGED) == 1; }));
  EXPECT_TRUE(graph.Stop());
  EXPECT_EQ(graph.GraphState(), 1);
  EXPECT_EQ(listener.controlEvents.back().first, ControlStop);

  IMediaSeeking* seeking = graph.MediaSeeking();
  ASSERT_NE(seeking, nullptr);
  int64_t duration = 0, stop = 0, current = 0;
  ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_NEAR(MediaTimeToMs(duration), 2000, 100);
  ASSERT_EQ(seeking->GetStopPosition(&stop), S_OK);
  EXPECT_EQ(stop, duration);
  int64_t target = 10000000;  // 1 s
  ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  ASSERT_EQ(seeking->GetCurrentPosition(&current), S_OK);
  EXPECT_NEAR(MediaTimeToMs(current), 1000, 80);
  EXPECT_EQ(graph.GraphState(), 1);  // seeking does not start it

  // Before the beginning means the beginning.
  int64_t before = -150000000;
  ASSERT_EQ(seeking->SetPositions(&before, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  ASSERT_EQ(seeking->GetPositions(&current, &stop), S_OK);
  EXPECT_LT(MediaTimeToMs(current), 80);
  EXPECT_EQ(stop, duration);

  // A later stop position is kept and reported.
  int64_t newStop = 15000000;
  ASSERT_EQ(seeking->SetPositions(nullptr, AM_SEEKING_NoPositioning, &newStop, AM_SEEKING_AbsolutePositioning), S_OK);
  ASSERT_EQ(seeking->GetStopPosition(&stop), S_OK);
  EXPECT_EQ(stop, newStop);
}

TEST_F(FilterGraph, VolumeIsClampedAndReachesTheRenderersAsDecibels) {
  TFilterGraph graph;
  EXPECT_EQ(graph.Volume(), 10000);
  EXPECT_EQ(graph.Balance(), 0);
  EXPECT_EQ(graph.PlaybackRate(), 1.0);
  EXPECT_TRUE(graph.LinearVolume());
  graph.SetVolume(12000);
  EXPECT_EQ(graph.Volume(), 10000);
  graph.SetBalance(-20000);
  EXPECT_EQ(graph.Balance(), -10000);
  graph.SetBalance(0);

  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::TwoAudio)), S_OK);
  TFilterList filters(graph.Graph());
  const auto renderers = AudioRenderersOf(filters);
  ASSERT_EQ(renderers.size(), 2u);
  auto gain = [](GstElement* renderer) {
    GstElement* volume = gst_bin_get_by_name(GST_BIN(renderer), "volume");
    double value = -1;
    if (volume) {
      g_object_get(volume, "volume", &value, nullptr);
      gst_object_unref(volume);
    }
    return value;
  };
  for (GstElement* r : renderers) EXPECT_DOUBLE_EQ(gain(r), 1.0);  // 0 dB
  graph.SetVolume(0);
  for (GstElement* r : renderers) EXPECT_DOUBLE_EQ(gain(r), 0.0);  // -10000: silence
  graph.SetVolume(5000);
  for (GstElement* r : renderers) EXPECT_NEAR(gain(r), std::pow(10.0, -752 / 2000.0), 1e-6) << gain(r);
  graph.SetLinearVolume(false);  // now v - 10000
  for (GstElement* r : renderers) EXPECT_NEAR(gain(r), std::pow(10.0, -5000 / 2000.0), 1e-6);

  // Balance attenuates one channel: positive values the left one.
  auto pan = [](GstElement* renderer) {
    GstElement* balance = gst_bin_get_by_name(GST_BIN(renderer), "balance");
    float value = -2;
    if (balance) {
      g_object_get(balance, "panorama", &value, nullptr);
      gst_object_unref(balance);
    }
    return value;
  };
  for (GstElement* r : renderers) EXPECT_FLOAT_EQ(pan(r), 0.0f);
  graph.SetBalance(10000);  // not linear: left channel silenced
  for (GstElement* r : renderers) EXPECT_FLOAT_EQ(pan(r), 1.0f);
  graph.SetBalance(-2000);  // right channel 20 dB down: a tenth of it left
  for (GstElement* r : renderers) EXPECT_NEAR(pan(r), -0.9f, 1e-6);
  graph.SetBalance(0);

  // A newly rendered movie gets the current settings again.
  graph.EmptyGraph();
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  TFilterList again(graph.Graph());
  const auto renderer = AudioRenderersOf(again);
  ASSERT_EQ(renderer.size(), 1u);
  EXPECT_NEAR(gain(renderer[0]), std::pow(10.0, -5000 / 2000.0), 1e-6);
}

TEST_F(FilterGraph, PlaybackRateIsStoredAndAppliedToEveryRenderedMovie) {
  TFilterGraph graph;
  graph.SetPlaybackRate(2.0);  // inactive: only stored
  EXPECT_EQ(graph.PlaybackRate(), 2.0);
  int completed = 0;
  graph.SetOnGraphComplete([&](QObject*, HRESULT, GstElement*) { ++completed; });
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  double rate = 0;
  ASSERT_EQ(graph.MediaSeeking()->GetRate(&rate), S_OK);
  EXPECT_EQ(rate, 2.0);
  EXPECT_EQ(graph.MediaSeeking()->SetRate(0.0), E_INVALIDARG);
  ASSERT_TRUE(graph.Play());
  ASSERT_TRUE(WaitFor([&] { return completed == 1; }));

  graph.EmptyGraph();
  graph.SetPlaybackRate(1.0);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  ASSERT_EQ(graph.MediaSeeking()->GetRate(&rate), S_OK);
  EXPECT_EQ(rate, 1.0);
}

TEST_F(FilterGraph, GraphEditEntryLivesWhileTheGraphIsActive) {
  TFilterGraph graph;
  graph.SetGraphEdit(true);
  EXPECT_TRUE(RunningObjectTable::Names().isEmpty());
  graph.SetActive(true);
  const QStringList names = RunningObjectTable::Names();
  ASSERT_EQ(names.size(), 1);
  EXPECT_EQ(names[0], RunningObjectTable::ItemName(graph.Graph()));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^FilterGraph [0-9A-F]{8} pid %1$")
                                     .arg(QString::number(QCoreApplication::applicationPid(), 16).toUpper()))
                  .match(names[0])
                  .hasMatch())
      << names[0].toStdString();
  graph.SetActive(false);
  EXPECT_TRUE(RunningObjectTable::Names().isEmpty());
  graph.SetActive(true);
  EXPECT_EQ(RunningObjectTable::Names().size(), 1);
  graph.SetGraphEdit(false);
  EXPECT_TRUE(RunningObjectTable::Names().isEmpty());
}

TEST_F(FilterGraph, RegisteredGraphIsDumpedAfterRenderingWhenAsked) {
  const QString dir = testenv::NewTempDir("dump");
  qputenv("CINVO_GRAPH_DUMP_DIR", dir.toLocal8Bit());
  {
    TFilterGraph graph;
    graph.SetGraphEdit(true);
    graph.SetActive(true);
    ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
    const QByteArray dot = testenv::ReadFile(dir + "/" + RunningObjectTable::ItemName(graph.Graph()) + ".dot");
    EXPECT_TRUE(dot.contains(CLSID_AudioRender));
  }
  qunsetenv("CINVO_GRAPH_DUMP_DIR");
}

TEST_F(FilterGraph, ErrorsInEventHandlersAreShownAndThePumpGoesOn) {
  TFilterGraph graph;
  int completed = 0;
  graph.SetOnDSEvent([](QObject*, long code, intptr_t, intptr_t) {
    if (code == EC_CLOCK_CHANGED) throw Exception("handler failed");
  });
  graph.SetOnGraphComplete([&](QObject*, HRESULT, GstElement*) { ++completed; });
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  graph.Play();
  ASSERT_TRUE(WaitFor([&] { return completed == 1; }));
  EXPECT_EQ(testenv::RecordedErrors(), QStringList{"handler failed"});
}

TEST_F(FilterGraph, LogFileRecordsTheBuildAndAnUnwritableOneIsDropped) {
  const QString log = testenv::NewTempDir("log") + "/graph.log";
  TFilterGraph graph;
  graph.SetLogFile(log);
  graph.SetActive(true);
  ASSERT_EQ(graph.RenderMediaFile(Movie(TMovieKind::MjpegPcm)), S_OK);
  const QByteArray text = testenv::ReadFile(log);
  EXPECT_TRUE(text.contains("Render \"")) << text.constData();
  EXPECT_TRUE(text.contains(CLSID_AudioRender)) << text.constData();
  graph.SetLogFile(testenv::NewTempDir("nolog") + "/missing/dir/graph.log");
  EXPECT_TRUE(graph.LogFile().isEmpty());
  graph.SetLogFile(QString());
  EXPECT_TRUE(graph.LogFile().isEmpty());
}

}  // namespace
