// The position track bar with a real graph: the timer's mapping of the
// position onto the bar, the release that seeks, dragging, the clock-changed
// rewind, and a bar too short to map a release to.
#include <gtest/gtest.h>

#include <QMouseEvent>

#include "tests/support/test_movies.h"
#include "tests/viewer/graph_test_helpers.h"
#include "viewer/track_bar.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"

using graphtest::WaitFor;

namespace {

void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button) {
  const QPointF at(2, 2);
  QMouseEvent event(type, at, w->mapToGlobal(at), button,
                    type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &event);
}

int64_t PositionMs(TFilterGraph& graph) {
  int64_t position = 0;
  graph.MediaSeeking()->GetCurrentPosition(&position);
  return position / 10000;
}

}  // namespace

TEST(TrackBar, TimerFollowsTheGraphsStateAndInterval) {
  TFilterGraph graph;
  TDSTrackBar bar;
  EXPECT_EQ(bar.TimerInterval(), 1000u);
  EXPECT_FALSE(bar.TimerEnabled());
  bar.SetFilterGraph(&graph);
  EXPECT_EQ(graph.Listeners().size(), 1u);
  EXPECT_EQ(bar.Seeking(), nullptr);
  graph.SetActive(true);
  EXPECT_NE(bar.Seeking(), nullptr);

  bar.HandleControlEvent(ControlPlay, 0);
  EXPECT_TRUE(bar.TimerActive());
  bar.HandleControlEvent(ControlPause, 0);
  EXPECT_FALSE(bar.TimerActive());
  bar.setEnabled(false);
  bar.HandleControlEvent(ControlPlay, 0);  // a disabled bar does not follow
  EXPECT_FALSE(bar.TimerActive());
  bar.setEnabled(true);
  bar.HandleControlEvent(ControlPlay, 0);
  EXPECT_TRUE(bar.TimerActive());
  bar.SetTimerInterval(0);
  EXPECT_FALSE(bar.TimerActive());
  bar.TimerTick();  // no division by a zero interval
  bar.SetTimerInterval(250);
  EXPECT_TRUE(bar.TimerActive());
  bar.HandleControlEvent(ControlStop, 0);
  EXPECT_FALSE(bar.TimerActive());

  // Without a movie the ticks find no duration and leave the bar alone.
  bar.setValue(3);
  bar.TimerTick();
  EXPECT_EQ(bar.value(), 3);

  graph.SetActive(false);
  EXPECT_EQ(bar.Seeking(), nullptr);
  bar.SetFilterGraph(nullptr);
  EXPECT_TRUE(graph.Listeners().empty());
}

TEST(TrackBar, PlaysWithTheVideoWindowAndSeeksOnRelease) {
  const QString movie = testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm);
  ASSERT_FALSE(movie.isEmpty());
  // Sound in time with the clock, so the position moves at playing speed.
  const QByteArray audioSink = qgetenv("CINVO_AUDIO_SINK");
  qputenv("CINVO_AUDIO_SINK", "fakesink sync=true");
  struct Restore {
    QByteArray value;
    ~Restore() { qputenv("CINVO_AUDIO_SINK", value); }
  } restore{audioSink};
  TFilterGraph graph;
  TDSVideoWindowEx2 window;
  TDSTrackBar bar;
  window.setObjectName(QStringLiteral("DSVideoWindow"));
  window.resize(160, 120);
  bar.resize(300, 30);
  graph.SetActive(true);
  window.SetFilterGraph(&graph);
  bar.SetFilterGraph(&graph);
  bar.SetTimerInterval(100);
  std::vector<std::pair<uint32_t, uint32_t>> ticks;
  bar.SetOnTimer([&](QObject* sender, uint32_t current, uint32_t stop) {
    EXPECT_EQ(sender, &bar);
    ticks.emplace_back(current, stop);
  });
  int changes = 0;
  bar.SetOnChange([&](QObject*) { ++changes; });
  graph.RenderMediaFile(movie);
  ASSERT_TRUE(graph.Play());
  EXPECT_TRUE(bar.TimerActive());
  ASSERT_TRUE(WaitFor([&] { return bar.value() >= 6; }, 10000));
  EXPECT_EQ(bar.maximum(), 20);  // 2000 ms in steps of 100
  ASSERT_GE(ticks.size(), 3u);
  EXPECT_EQ(ticks.back().second, 2000u);
  EXPECT_GE(ticks.back().first, ticks.front().first);
  EXPECT_EQ(static_cast<int>(ticks.back().first / 100), bar.value());
  EXPECT_GT(changes, 0);
  EXPECT_GT(window.FramesPainted() + window.OwnRenderer()->FramesTaken(), 3u);

  graph.Pause();
  EXPECT_FALSE(bar.TimerActive());
  // Dragging: the timer leaves the thumb to the user until the release.
  Mouse(&bar, QEvent::MouseButtonPress, Qt::LeftButton);
  EXPECT_TRUE(bar.Tracking());
  bar.setValue(10);
  bar.TimerTick();
  EXPECT_EQ(bar.value(), 10);
  Mouse(&bar, QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_FALSE(bar.Tracking());
  EXPECT_NEAR(static_cast<double>(PositionMs(graph)), 1000.0, 20.0);

  // Another button's release ends tracking without seeking.
  Mouse(&bar, QEvent::MouseButtonPress, Qt::RightButton);
  bar.setValue(2);
  Mouse(&bar, QEvent::MouseButtonRelease, Qt::RightButton);
  EXPECT_FALSE(bar.Tracking());
  EXPECT_NEAR(static_cast<double>(PositionMs(graph)), 1000.0, 20.0);

  // The clock-changed event rewinds the movie.
  bar.HandleGraphEvent(EC_CLOCK_CHANGED, 0, 0);
  EXPECT_LT(PositionMs(graph), 20);
  bar.HandleGraphEvent(EC_COMPLETE, 0, 0);  // others are ignored

  // A bar longer than the movie has maximum 0: a release does not seek.
  int64_t middle = 10000000;
  graph.MediaSeeking()->SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  bar.SetTimerInterval(5000);
  bar.TimerTick();
  EXPECT_EQ(bar.maximum(), 0);
  EXPECT_EQ(bar.value(), 0);
  Mouse(&bar, QEvent::MouseButtonPress, Qt::LeftButton);
  Mouse(&bar, QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_NEAR(static_cast<double>(PositionMs(graph)), 1000.0, 20.0);
  graph.Stop();
}

TEST(TrackBar, AGraphDestroyedFirstIsForgotten) {
  auto* graph = new TFilterGraph;
  graph->SetActive(true);
  TDSTrackBar bar;
  bar.SetFilterGraph(graph);
  bar.HandleControlEvent(ControlPlay, 0);
  delete graph;
  EXPECT_EQ(bar.FilterGraph(), nullptr);
  EXPECT_EQ(bar.Seeking(), nullptr);
  EXPECT_FALSE(bar.TimerActive());
  Mouse(&bar, QEvent::MouseButtonPress, Qt::LeftButton);
  Mouse(&bar, QEvent::MouseButtonRelease, Qt::LeftButton);
  bar.TimerTick();
}
